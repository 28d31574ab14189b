// Destroying a file's content: seven overwrite passes, two truncations and
// the deletion, each pass flushed to the device before the next begins.
#pragma once

#include <functional>
#include <string>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/progress.h"
#include "platform/random_generator.h"

namespace talvor {

struct ShredHooks {
  // The file is open and the generator started from the clock.
  std::function<void()> opened;
  // Pass 1..7 has reached the device.
  std::function<void(int pass)> pass_done;
};

// Overwrites and deletes `path`:
//   1. N bytes Random(77) + 1;  2.-4. N bytes "?", "1", "2";
//   5. for j = 1..N the 32-bit little-endian value Random(j) (the file grows to 4N);
//   6. 4N bytes Random(33);  7. 4N bytes Random(11) - 1;
// then cuts the file to N div 2, then to N div 20 bytes, and deletes it.
// The work is counted in `job`, which may not be cancelled half-way.
// The generator is started from the clock first. A symbolic link is refused
// (the file it points to is not touched). A failure ends the routine: the
// file stays as far as the passes got.
void ShredFile(FileSystem& fs, RandomGenerator& random, Clock& clock, const std::string& path,
               Job& job, const ShredHooks& hooks = {});

// The same passes and cuts on a file already open for reading and writing;
// the file stays open (and is not deleted). `opened` is not called.
void ShredOpenFile(File& file, RandomGenerator& random, Clock& clock, Job& job,
                   const ShredHooks& hooks = {});

}  // namespace talvor

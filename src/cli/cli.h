// talvor: the command-line companion. It runs the routines of the windows on
// one file, for scripting and batch work.
#pragma once

#include <string>
#include <vector>

#include "cli/console.h"
#include "platform/file_system.h"
#include "platform/progress_window.h"

namespace talvor {

namespace exit_status {
inline constexpr int kSuccess = 0;
inline constexpr int kFailed = 1;   // the operation failed
inline constexpr int kRefused = 2;  // wrong usage or refused input
}  // namespace exit_status

inline constexpr char kTalvorVersion[] = "2.0";

// Runs one command; `args` excludes the program name. Returns the exit status.
// The progress goes to `progress` when one is given, else to a line on the
// terminal.
[[nodiscard]] int RunTalvor(const std::vector<std::string>& args, Console& console, FileSystem& fs,
                            ProgressWindow* progress = nullptr);

}  // namespace talvor

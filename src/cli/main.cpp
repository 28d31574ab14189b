#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/console.h"
#include "platform/file_system.h"
#include "platform/interrupt.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  // Ctrl+C and SIGTERM cancel the work cleanly.
  talvor::CatchInterrupts();
  talvor::ProcessConsole console;
  talvor::PosixFileSystem fs;
  return talvor::RunTalvor(args, console, fs);
}

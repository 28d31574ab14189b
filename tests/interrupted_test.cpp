// Commands of the talvor program stopped in the middle of their work: by
// Ctrl+C or SIGTERM, which cancel the work (nothing it started is left, the
// source stays as it was, the exit status says which signal), and by
// SIGKILL, after which the next run clears away what the killed one left.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "program_runner.h"

namespace talvor {
namespace {

using testing::Command;
using testing::Exit;
using testing::FolderAfter;
using testing::kCommands;
using testing::Library;
using testing::ListNames;
using testing::ReadFile;
using testing::RunProgram;
using testing::TempDir;
using testing::With;
using testing::WriteFile;

// The program killed at several moments of its work on a larger file, then
// run again: the first run leaves nothing under a final name and no
// intermediate the second run does not clear away.
class KilledTest : public ::testing::TestWithParam<Command> {
 protected:
  TempDir root_;
};

TEST_P(KilledTest, LeavesNoPartialResultAndTheNextRunWorks) {
  const Command& c = GetParam();
  Library& library = Library::For("big", 4 << 20);
  const std::string folder = root_ / "folder";
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  const std::string in_name = std::string("big.") + c.in;
  const std::string out_name = *c.out == '\0' ? "" : std::string("big.") + c.out;
  const std::string input = library.File(c.in);
  const std::vector<std::string> args = With(c.args, (folder + "/" + in_name).c_str());
  int killed = 0;
  for (const int ms : {4, 20, 80, 300}) {
    WriteFile(folder + "/" + in_name, input);
    const Exit exit = RunProgram(args, root_.path(), false, std::chrono::milliseconds(ms));
    if (exit.signal == 0) {  // done before the signal came
      EXPECT_EQ(exit.status, 0) << exit.err;
      if (!out_name.empty()) ::unlink((folder + "/" + out_name).c_str());
      continue;
    }
    ++killed;
    EXPECT_EQ(exit.signal, SIGKILL);
    EXPECT_EQ(ListNames(root_.path()), "folder") << "after " << ms << " ms";
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
      const std::string name = e.path().filename().string();
      if (name == in_name) continue;
      if (name == out_name) {
        // Killed while clearing up after the result was complete.
        if (c.restores) {
          EXPECT_EQ(ReadFile(folder + "/" + out_name), library.document());
        } else {
          EXPECT_EQ(ReadFile(folder + "/" + out_name).size(), library.File(c.out).size());
        }
        ::unlink((folder + "/" + out_name).c_str());
        continue;
      }
      // A work folder of random protection, or a result being renamed into
      // place, may stay until the next run; nothing else may.
      EXPECT_EQ(name.rfind(".talvor-", 0), 0U) << name << " after " << ms << " ms";
    }
    if (!c.destroys) {
      EXPECT_EQ(ReadFile(folder + "/" + in_name), input) << "after " << ms << " ms";
    }
  }
  // The next run, to the end, clears away what the killed ones left.
  WriteFile(folder + "/" + in_name, input);
  const Exit again = RunProgram(args, root_.path());
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(ListNames(folder), FolderAfter(in_name, !c.destroys, out_name));
  if (c.restores) {
    EXPECT_EQ(ReadFile(folder + "/" + out_name), library.document());
  }
  if (killed == 0) GTEST_SKIP() << "every run ended before it could be killed";
}

INSTANTIATE_TEST_SUITE_P(Commands, KilledTest,
                         ::testing::Values(kCommands[0], kCommands[1], kCommands[4], kCommands[6],
                                           kCommands[9], kCommands[10], kCommands[11],
                                           kCommands[12], kCommands[15], kCommands[16]),
                         testing::ByName());

// Ctrl+C and SIGTERM at several moments of the work on a larger file: the
// command stops, leaving the folder exactly as it was, with the exit status
// 128 + the signal; or it was done before the signal came.
struct Interruption {
  const char* name;
  int signal;
};

class InterruptedTest : public ::testing::TestWithParam<std::tuple<Command, Interruption>> {
 protected:
  TempDir root_;
};

TEST_P(InterruptedTest, LeavesTheFolderAsItWas) {
  const Command& c = std::get<0>(GetParam());
  const int signal = std::get<1>(GetParam()).signal;
  Library& library = Library::For("big", 4 << 20);
  const std::string folder = root_ / "folder";
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  const std::string in_name = std::string("big.") + c.in;
  const std::string input = library.File(c.in);
  const std::vector<std::string> args = With(c.args, (folder + "/" + in_name).c_str());
  int cancelled = 0;
  for (const int ms : {20, 80, 300}) {
    WriteFile(folder + "/" + in_name, input);
    const Exit exit = RunProgram(args, root_.path(), false, std::chrono::milliseconds(ms), signal);
    EXPECT_EQ(exit.signal, 0) << "the signal is caught";
    if (exit.status == 0) {  // done before the signal came
      for (const auto& e : std::filesystem::directory_iterator(folder)) {
        if (e.path().filename() != in_name) std::filesystem::remove(e.path());
      }
      continue;
    }
    ++cancelled;
    EXPECT_EQ(exit.status, 128 + signal) << exit.err;
    EXPECT_EQ(exit.err.substr(exit.err.size() - 11), "Cancelled.\n") << exit.err;
    EXPECT_EQ(ListNames(root_.path()), "folder") << "after " << ms << " ms";
    EXPECT_EQ(ListNames(folder), in_name) << "after " << ms << " ms";
    EXPECT_EQ(ReadFile(folder + "/" + in_name), input) << "after " << ms << " ms";
  }
  if (cancelled == 0) GTEST_SKIP() << "every run ended before the signal came";
}

INSTANTIATE_TEST_SUITE_P(Commands, InterruptedTest,
                         ::testing::Combine(::testing::Values(kCommands[1], kCommands[4],
                                                              kCommands[6], kCommands[9],
                                                              kCommands[11], kCommands[12],
                                                              kCommands[15], kCommands[16]),
                                            ::testing::Values(Interruption{"Int", SIGINT},
                                                              Interruption{"Term", SIGTERM})),
                         [](const auto& param_info) {
                           return std::string(std::get<0>(param_info.param).name) + "_" +
                                  std::get<1>(param_info.param).name;
                         });

}  // namespace
}  // namespace talvor

// Progress reports of the long operations: every command of talvor, run
// with a progress display, reports bytes done of bytes total from the start
// to a final report where the two meet, never going backwards, and writes
// the same files as without one.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <vector>

#include "cli/cli.h"
#include "memory_console.h"
#include "platform/progress.h"
#include "platform/progress_window.h"
#include "test_support.h"

namespace talvor {
namespace {

using testing::CurrentDirGuard;
using testing::MemoryConsole;
using testing::ReadFile;
using testing::SomeBytes;
using testing::TempDir;
using testing::WriteFile;

struct Report {
  std::uint64_t done;
  std::uint64_t total;
};

TEST(JobTest, CountsThrottlesAndTakesTheOuterDeclaration) {
  std::vector<Report> reports;
  Job job([&](std::uint64_t d, std::uint64_t t) { reports.push_back({d, t}); }, nullptr, 100);
  {
    const ExpectedWork work(job, 1000);
    {
      const ExpectedWork nested(job, 999);  // a routine inside: already counted
      for (int i = 0; i < 100; ++i) job.Advance(10);
    }
    ASSERT_GE(reports.size(), 3U);
    EXPECT_LE(reports.size(), 12U);  // every 100 bytes, not every call
    EXPECT_EQ(reports.front().done, 0U);
    EXPECT_EQ(reports.back().done, 1000U);
    for (const Report& r : reports) EXPECT_EQ(r.total, 1000U);
  }
  ExpectedWork work(job, 50);
  {
    ExpectedWork nested(job, 50);
    nested.Finish();  // the caller's to finish
    EXPECT_EQ(reports.back().done, 1000U);
  }
  work.Finish();
  EXPECT_EQ(reports.back().done, reports.back().total);
}

TEST(JobTest, ACancelledTokenStopsTheWorkWhereItIsCounted) {
  CancelToken cancel;
  Job job(nullptr, &cancel);
  job.Advance(10);
  cancel.Cancel();
  EXPECT_TRUE(testing::RaisesFailure(FailureKind::kCancelled, [&] { job.Advance(10); }));
  Job unstoppable(nullptr, nullptr);  // work that must not stop half-way
  unstoppable.Advance(10);
}

// Records the reports a command's progress window is given.
class RecordingProgress final : public ProgressWindow {
 public:
  explicit RecordingProgress(std::function<void(std::uint64_t, std::uint64_t)> report)
      : report_(std::move(report)) {}
  void Open(const std::string&, const std::string&, CancelToken*) override {}
  void Update(std::uint64_t done, std::uint64_t total) override { report_(done, total); }
  void Close() override {}

 private:
  std::function<void(std::uint64_t, std::uint64_t)> report_;
};

struct CommandCase {
  const char* name;
  std::vector<std::string> args;  // before the file
  const char* input;              // the file it is given
};

const std::vector<std::string> kEncrypt = {"encrypt", "--passphrase-file", "-", "--method"};
const std::vector<std::string> kDecrypt = {"decrypt", "--passphrase-file", "-"};

std::vector<std::string> With(std::vector<std::string> args, const std::string& last) {
  args.push_back(last);
  return args;
}

// In order: each command's input is made by an earlier one.
const CommandCase kCommands[] = {
    {"EncryptTrap", With(kEncrypt, "trap"), "data.txt"},
    {"EncryptOrm", With(kEncrypt, "orm"), "data.txt"},
    {"EncryptBlowfish", With(kEncrypt, "blowfish"), "data.txt"},
    {"EncryptRijndael", With(kEncrypt, "rijndael"), "data.txt"},
    {"EncryptRandom", With(kEncrypt, "random"), "data.txt"},
    {"PackLha", {"pack", "--yes", "--format", "lha"}, "data.txt"},
    {"PackZip", {"pack", "--yes", "--format", "zip"}, "data.txt"},
    {"PackBh", {"pack", "--yes", "--format", "bh"}, "data.txt"},
    {"PackCab", {"pack", "--yes", "--format", "cab"}, "data.txt"},
    {"DecryptTrap", kDecrypt, "data.trp"},
    {"DecryptOrm", kDecrypt, "data.orm"},
    {"DecryptBlowfish", kDecrypt, "data.blf"},
    {"DecryptRijndael", kDecrypt, "data.rnl"},
    {"DecryptRandom", kDecrypt, "data.erh"},
    {"UnpackLha", {"unpack"}, "data.lha"},
    {"UnpackZip", {"unpack"}, "data.zip"},
    {"UnpackBh", {"unpack"}, "data.bh"},
    {"UnpackCab", {"unpack"}, "data.cab"},
    {"Destroy", {"destroy", "--yes"}, "data.txt"},
};

// Half compressible text, half random bytes, so that every writer both
// compresses and stores; a little over 3 MiB.
std::string Document() {
  std::string text;
  while (text.size() < (3 << 19)) text += "line " + std::to_string(text.size()) + " of the text\n";
  return text + SomeBytes((3 << 19) + 17, 5);
}

TEST(ProgressTest, EveryCommandReportsFromStartToEnd) {
  TempDir dir;
  const CurrentDirGuard cwd;
  PosixFileSystem fs;
  std::filesystem::current_path(dir.path());
  const std::string document = Document();
  WriteFile(dir / "data.txt", document);
  for (const CommandCase& c : kCommands) {
    SCOPED_TRACE(c.name);
    if (std::string(c.input) == "data.txt") WriteFile(dir / "data.txt", document);
    std::vector<Report> reports;
    int status = 0;
    {
      RecordingProgress progress([&](std::uint64_t d, std::uint64_t t) {
        reports.push_back({d, t});
      });
      MemoryConsole console("A PROGRESSING PHRASE\n");
      status = RunTalvor(With(c.args, dir / c.input), console, fs, &progress);
      ASSERT_EQ(status, 0) << console.err_.str();
    }
    ASSERT_GE(reports.size(), 3U);
    EXPECT_EQ(reports.front().done, 0U);
    EXPECT_GE(reports.back().total, document.size() / 2);
    EXPECT_EQ(reports.back().done, reports.back().total);
    for (std::size_t i = 1; i < reports.size(); ++i) {
      EXPECT_GE(reports[i].done, reports[i - 1].done);
      EXPECT_GE(reports[i].total, reports[i - 1].total);
      EXPECT_LE(reports[i].done, reports[i].total);
    }
    if (std::string(c.input) != "data.txt" && std::string(c.args[0]) != "destroy") {
      EXPECT_EQ(ReadFile(dir / "data.txt"), document);  // and the results are right
    }
  }
}

// A source cut short by another program while a command reads it fails the
// command in words, and nothing is written: the names in the folder are the
// same, a file a decryption would replace is as it was.
TEST(ProgressTest, ASourceCutShortWhileItIsReadFailsTheCommand) {
  TempDir dir;
  const CurrentDirGuard cwd;
  PosixFileSystem fs;
  std::filesystem::current_path(dir.path());
  const std::string document = Document();
  WriteFile(dir / "data.txt", document);
  for (const CommandCase& c : kCommands) {  // the encrypted inputs
    MemoryConsole console("A PROGRESSING PHRASE\n");
    if (c.args[0] == "encrypt") {
      ASSERT_EQ(RunTalvor(With(c.args, dir / c.input), console, fs), 0);
    }
  }
  for (const CommandCase& c : kCommands) {
    if (c.args[0] != "encrypt" && c.args[0] != "decrypt" && c.args[0] != "pack") continue;
    SCOPED_TRACE(c.name);
    const std::string source = dir / c.input;
    const std::string input = ReadFile(source);
    const std::string names = testing::ListNames(dir.path());
    bool cut = false;
    int status = 0;
    MemoryConsole console("A PROGRESSING PHRASE\n");
    {
      RecordingProgress progress([&](std::uint64_t done, std::uint64_t) {
        if (cut || done == 0) return;
        cut = ::truncate(source.c_str(), static_cast<off_t>(input.size() / 2)) == 0;
      });
      status = RunTalvor(With(c.args, source), console, fs, &progress);
    }
    ASSERT_TRUE(cut);
    EXPECT_NE(status, 0);
    EXPECT_NE(console.err_.str().find(source + " changed while it was being read"),
              std::string::npos)
        << console.err_.str();
    EXPECT_EQ(testing::ListNames(dir.path()), names);
    EXPECT_EQ(ReadFile(dir / "data.txt").size(),
              c.args[0] == "decrypt" ? document.size() : document.size() / 2);
    WriteFile(source, input);
  }
}

}  // namespace
}  // namespace talvor

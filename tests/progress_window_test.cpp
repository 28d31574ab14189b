// The progress window of the desktop windows: every long command opens it
// on its file, feeds it reports up to the end of the work, and closes it,
// also when the command fails.
#include <gtest/gtest.h>

#include "main_window_fixture.h"
#include "test_support.h"

namespace talvor {
namespace {

using testing::SomeBytes;
using testing::WriteFile;

struct LongCommand {
  const char* name;
  CommandClick handler;
  const char* file;  // what it is given
  bool password;     // through the password window
};

// In order: each command's file is made by an earlier one.
const LongCommand kCommands[] = {
    {"EncryptTrap", {WindowCommand::kEncryptTrap, Route::kToolbar}, "doc.txt", true},
    {"EncryptOrm", {WindowCommand::kEncryptOrm, Route::kToolbar}, "doc.txt", true},
    {"EncryptBlowfish", {WindowCommand::kEncryptBlowfish, Route::kToolbar}, "doc.txt", true},
    {"EncryptRijndael", {WindowCommand::kEncryptRijndael, Route::kToolbar}, "doc.txt", true},
    {"EncryptRandom", {WindowCommand::kEncryptRandom, Route::kToolbar}, "doc.txt", true},
    {"PackCab", {WindowCommand::kCreateCab, Route::kToolbar}, "doc.txt", false},
    {"PackLha", {WindowCommand::kCreateLha, Route::kToolbar}, "doc.txt", false},
    {"PackZip", {WindowCommand::kCreateZip, Route::kToolbar}, "doc.txt", false},
    {"PackBh", {WindowCommand::kCreateBh, Route::kToolbar}, "doc.txt", false},
    {"DecryptTrap", {WindowCommand::kDecryptTrap, Route::kToolbar}, "doc.trp", true},
    {"DecryptOrm", {WindowCommand::kDecryptOrm, Route::kToolbar}, "doc.orm", true},
    {"DecryptBlowfish", {WindowCommand::kDecryptBlowfish, Route::kToolbar}, "doc.blf", true},
    {"DecryptRijndael", {WindowCommand::kDecryptRijndael, Route::kToolbar}, "doc.rnl", true},
    {"DecryptRandom", {WindowCommand::kDecryptRandom, Route::kToolbar}, "doc.erh", true},
    {"UnpackCab", {WindowCommand::kExtractCab, Route::kToolbar}, "doc.cab", false},
    {"UnpackLha", {WindowCommand::kExtractLha, Route::kToolbar}, "doc.lha", false},
    {"UnpackZip", {WindowCommand::kExtractZip, Route::kToolbar}, "doc.zip", false},
    {"UnpackBh", {WindowCommand::kExtractBh, Route::kToolbar}, "doc.bh", false},
    {"Destroy", {WindowCommand::kDestroy, Route::kToolbar}, "doc.txt", false},
};

class ProgressWindowTest : public ::testing::Test, protected testing::MainWindowFixture {
 protected:
  void RunOn(const LongCommand& c) {
    form1_.RefreshFileList();
    view_.selected = c.file;
    dialogs_.answers = {Answer::kYes, Answer::kYes};
    password_view_.user = [this](testing::FakePasswordView& v) {
      v.TypeBoth("a progressing phrase");
      v.ClickAction(dialogs_);
      if (v.open) v.ClickCancel();
    };
    MainWindowFixture::Run(c.handler);
  }
};

TEST_F(ProgressWindowTest, EveryLongCommandShowsItsProgress) {
  const std::string document = SomeBytes(3 << 20, 4);
  WriteFile(dir_ / "doc.txt", document);
  Start();
  for (const LongCommand& c : kCommands) {
    SCOPED_TRACE(c.name);
    if (std::string(c.file) == "doc.txt") WriteFile(dir_ / "doc.txt", document);
    progress_.opened.clear();
    progress_.closings = 0;
    RunOn(c);
    EXPECT_TRUE(dialogs_.errors.empty()) << dialogs_.errors.front();
    ASSERT_EQ(progress_.opened, std::vector<std::string>{dir_ / c.file});
    EXPECT_EQ(progress_.closings, 1);
    ASSERT_GE(progress_.updates.size(), 3U);
    EXPECT_EQ(progress_.updates.back().first, progress_.updates.back().second);
    EXPECT_GE(progress_.updates.back().second, document.size());
  }
}

// Cancel in the progress window stops each command that may be stopped at
// its first report: no message, the folder holds what it held, the source is
// unchanged, a cipher command stays pending; Destroy has no Cancel.
TEST_F(ProgressWindowTest, CancelLeavesTheFolderAsItWas) {
  const std::string document = SomeBytes(3 << 20, 4);
  WriteFile(dir_ / "doc.txt", document);
  Start();
  // The files the commands work on, made by running them once.
  for (const LongCommand& c : kCommands) {
    if (std::string(c.name) != "Destroy") RunOn(c);
  }
  ASSERT_TRUE(dialogs_.errors.empty()) << dialogs_.errors.front();
  const std::string before = testing::ListNames(dir_.path());
  progress_.cancel_after_updates = 1;
  for (const LongCommand& c : kCommands) {
    SCOPED_TRACE(c.name);
    const bool destroys = std::string(c.name) == "Destroy";
    const std::string source = testing::ReadFile(dir_ / c.file);
    progress_.cancel = false;
    progress_.cancellable.clear();
    RunOn(c);
    EXPECT_TRUE(dialogs_.errors.empty()) << dialogs_.errors.front();
    ASSERT_EQ(progress_.cancellable, std::vector<bool>{!destroys});
    if (destroys) continue;
    EXPECT_EQ(testing::ListNames(dir_.path()), before);
    EXPECT_EQ(testing::ReadFile(dir_ / c.file), source);
    EXPECT_TRUE(!c.password || (form2_.result().status == CipherResult::Status::kCancelled));
  }
}

TEST_F(ProgressWindowTest, AFailingCommandClosesTheWindow) {
  WriteFile(dir_ / "doc.erh", "no archive at all");
  Start();
  RunOn({"DecryptRandom", {WindowCommand::kDecryptRandom, Route::kToolbar}, "doc.erh", true});
  EXPECT_FALSE(dialogs_.errors.empty());
  EXPECT_EQ(progress_.opened.size(), 1U);
  EXPECT_EQ(progress_.closings, 1);
}

}  // namespace
}  // namespace talvor

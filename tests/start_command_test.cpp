// The program started on a file, perhaps with a command (zem-talvor
// --command NAME FILE, as the desktop entry and the file managers' actions
// start it), through the window logic.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "main_window/start_command.h"
#include "main_window_fixture.h"

namespace talvor {
namespace {

using testing::WriteFile;

struct ParseCase {
  const char* name;
  std::vector<std::string> args;
  const char* file;
  const char* command;
  const char* complaint;  // how it starts; "" for none
};

class ParseStartArgumentsTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseStartArgumentsTest, FileCommandAndComplaint) {
  const ParseCase& c = GetParam();
  const StartRequest request = ParseStartArguments(c.args);
  EXPECT_EQ(request.file, c.file);
  EXPECT_EQ(request.command, c.command);
  EXPECT_EQ(request.complaint.substr(0, std::string(c.complaint).size()), c.complaint);
  EXPECT_EQ(request.complaint.empty(), std::string(c.complaint).empty()) << request.complaint;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseStartArgumentsTest,
    ::testing::Values(
        ParseCase{"FileAlone", {"a.txt"}, "a.txt", "", ""},
        ParseCase{
            "CommandAndFile", {"--command", "encrypt-rijndael", "a"}, "a", "encrypt-rijndael", ""},
        ParseCase{"CommandWithEquals", {"--command=unpack", "a.zip"}, "a.zip", "unpack", ""},
        ParseCase{"DashesEndTheOptions", {"--command", "destroy", "--", "-x"}, "-x", "destroy", ""},
        // The desktop entry's %f is empty when the menu starts the program.
        ParseCase{"OpenWithoutAFile", {"--command", "open"}, "", "open", ""},
        ParseCase{"CommandWithoutAFile",
                  {"--command", "destroy"},
                  "",
                  "",
                  "The command \"destroy\" needs a file"},
        ParseCase{"UnknownName", {"--command", "shred", "a"}, "a", "", "Unknown command \"shred\""},
        ParseCase{"NoName", {"--command"}, "", "", "\"--command\" needs a NAME"},
        ParseCase{"UnknownOption", {"--shred", "a"}, "a", "", "Unknown option \"--shred\""},
        ParseCase{"TwoFiles", {"a", "b"}, "a", "", "ZEM Talvor opens one file at a time"},
        ParseCase{"CommandTwice",
                  {"--command", "pack-zip", "--command=unpack", "a"},
                  "a",
                  "pack-zip",
                  "\"--command\" is given twice"}),
    testing::ByName());

struct StartCase {
  const char* name;
  std::vector<std::string> args;  // files relative to the folder the user is in
  const char* shown = "";         // the folder shown, relative ("" for the start folder)
  const char* selected = nullptr;
  std::uint8_t code = 0;     // handed to the password window; 0: none
  const char* message = "";  // what the message box says in part; "" for none
  bool complains = false;    // on standard error too
  bool asks = false;         // Destroy's question
  const char* written = "";  // a file the command writes; "" for none
};

class StartWithTest : public ::testing::TestWithParam<StartCase>,
                      protected testing::MainWindowFixture {
 protected:
  StartWithTest() {
    WriteFile(dir_ / "notes.txt", "notes");
    ::mkdir((dir_ / "sub").c_str(), 0755);
    WriteFile(dir_ / "sub/doc.blf", "4)sbq");
    WriteFile(dir_ / "sub/REPORT.TRP", "4.txt");
    // A ZIP archive under a name that does not say so.
    WriteFile(dir_ / "sub/data.bin",
              testing::ReadFile(std::string(TALVOR_TEST_DATA) + "/zip/stored_tiny.zip"));
    Start();
  }
};

TEST_P(StartWithTest, ShowsTheFileThenStartsTheCommand) {
  const StartCase& c = GetParam();
  std::vector<std::string> complaints;
  RunGuarded(dialogs_, [&] {
    form1_.StartWith(ParseStartArguments(c.args),
                     [&](const std::string& text) { complaints.push_back(text); });
  });
  const std::string shown = c.shown[0] == '\0' ? dir_.path() : dir_ / c.shown;
  EXPECT_EQ(form1_.shown_folder(), shown);
  EXPECT_EQ(form1_.shown_folder(), shown);
  EXPECT_EQ(view_.selected,
            c.selected != nullptr ? std::optional<std::string>(c.selected) : std::nullopt);
  EXPECT_EQ(password_view_.showings, c.code != 0 ? 1 : 0);
  EXPECT_EQ(RequestedCode(), c.code);
  if (c.code != 0) {
    EXPECT_EQ(form2_.request().file, dir_ / c.args.back());
  }
  if (c.message[0] == '\0') {
    EXPECT_TRUE(dialogs_.messages.empty()) << dialogs_.messages.front();
  } else {
    ASSERT_EQ(dialogs_.messages.size(), 1U);
    EXPECT_NE(dialogs_.messages[0].find(c.message), std::string::npos) << dialogs_.messages[0];
  }
  EXPECT_EQ(complaints, c.complains ? dialogs_.messages : std::vector<std::string>{});
  if (c.asks) {
    EXPECT_EQ(dialogs_.questions,
              std::vector<std::string>{kDestroyQuestionMenu + (dir_ / c.args.back()) + "?"});
  } else {
    EXPECT_TRUE(dialogs_.questions.empty());
  }
  if (c.written[0] != '\0') {
    EXPECT_TRUE(testing::Exists(dir_ / c.written)) << c.written;
  }
  EXPECT_EQ(testing::ReadFile(dir_ / "notes.txt"), "notes");
  EXPECT_TRUE(dialogs_.errors.empty()) << dialogs_.errors.front();
}

using S = StartCase;
INSTANTIATE_TEST_SUITE_P(
    Table, StartWithTest,
    ::testing::Values(
        S{.name = "FileAlone", .args = {"sub/doc.blf"}, .shown = "sub", .selected = "doc.blf"},
        S{.name = "Encrypt",
          .args = {"--command", "encrypt-rijndael", "notes.txt"},
          .selected = "notes.txt",
          .code = 7},
        S{.name = "DecryptNamed",
          .args = {"--command", "decrypt-blowfish", "sub/doc.blf"},
          .shown = "sub",
          .selected = "doc.blf",
          .code = 6},
        S{.name = "DecryptByExtension",
          .args = {"--command", "decrypt", "sub/doc.blf"},
          .shown = "sub",
          .selected = "doc.blf",
          .code = 6},
        // What a double click runs.
        S{.name = "OpenProtected",
          .args = {"--command", "open", "sub/doc.blf"},
          .shown = "sub",
          .selected = "doc.blf",
          .code = 6},
        S{.name = "OpenPlain", .args = {"--command", "open", "notes.txt"}, .selected = "notes.txt"},
        // The extension's letter case counts, as for the decrypt commands.
        S{.name = "OpenUpperCase",
          .args = {"--command", "open", "sub/REPORT.TRP"},
          .shown = "sub",
          .selected = "REPORT.TRP"},
        S{.name = "DecryptPlain",
          .args = {"--command", "decrypt", "notes.txt"},
          .selected = "notes.txt",
          .message = "is no protected file"},
        S{.name = "DecryptOtherMethod",
          .args = {"--command", "decrypt-trap", "sub/doc.blf"},
          .shown = "sub",
          .selected = "doc.blf",
          .message = "File extension must be *.trp"},
        S{.name = "Destroy",
          .args = {"--command", "destroy", "notes.txt"},
          .selected = "notes.txt",
          .asks = true},
        S{.name = "Pack", .args = {"--command", "pack-zip", "notes.txt"}, .written = "notes.zip"},
        S{.name = "UnpackByContent",
          .args = {"--command", "unpack", "sub/data.bin"},
          .shown = "sub",
          .written = "sub/tiny.txt"},
        S{.name = "UnknownName",
          .args = {"--command", "shred", "notes.txt"},
          .selected = "notes.txt",
          .message = "Unknown command \"shred\"",
          .complains = true},
        S{.name = "MissingFile",
          .args = {"--command", "destroy", "gone.txt"},
          .message = "There is no file",
          .complains = true},
        S{.name = "Folder",
          .args = {"--command", "destroy", "sub"},
          .shown = "sub",
          .message = "is a folder",
          .complains = true}),
    testing::ByName());

}  // namespace
}  // namespace talvor

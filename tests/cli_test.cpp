#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <filesystem>
#include <sstream>

#include "cli/cli.h"
#include "cli/progress_line.h"
#include "protect/overwrite_warning.h"
#include "protect/trap.h"
#include "test_support.h"

extern char** environ;

namespace talvor {
namespace {

using testing::CurrentDirGuard;
using testing::ListNames;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

class FakeConsole : public Console {
 public:
  std::istream& in() override { return in_; }
  std::ostream& out() override { return out_; }
  std::ostream& err() override { return err_; }
  bool HasTerminal() override { return terminal; }
  std::optional<Secret> ReadHidden(const std::string& prompt) override {
    prompts.push_back(prompt);
    if (typed.empty()) return std::nullopt;
    Secret line(typed.front());
    typed.pop_front();
    return line;
  }
  std::optional<bool> AskYesNo(const std::string&) override { return std::nullopt; }

  std::istringstream in_;
  std::ostringstream out_, err_;
  std::deque<std::string> typed;
  std::vector<std::string> prompts;
  bool terminal = false;
};

class CliTest : public ::testing::Test {
 protected:
  int Run(std::vector<std::string> args) {
    console_ = std::make_unique<FakeConsole>();
    console_->in_.str(stdin_);
    console_->typed = typed_;
    console_->terminal = console_terminal_ || !typed_.empty();
    return RunTalvor(args, *console_, fs_);
  }
  std::string Err() const { return console_->err_.str(); }
  std::string Out() const { return console_->out_.str(); }

  TempDir dir_;
  CurrentDirGuard cwd_;
  PosixFileSystem fs_;
  std::unique_ptr<FakeConsole> console_;
  std::string stdin_;
  std::deque<std::string> typed_;
  bool console_terminal_ = false;  // a terminal even when nothing is typed
};

TEST_F(CliTest, EncryptAndDecryptTrapWithAPassphraseFile) {
  WriteFile(dir_ / "report.txt", "hello world\n");
  WriteFile(dir_ / "pw", "my secret phrase\nsecond line ignored\n");
  ASSERT_EQ(
      Run({"encrypt", "--method", "trap", "--passphrase-file", dir_ / "pw", dir_ / "report.txt"}),
      0)
      << Err();
  EXPECT_EQ(Out(), dir_ / "report.trp\n");
  // Lower case in the file counts as capitals, as in the window: mask 0xFD.
  std::string expected = "4.txt";
  for (const char c : std::string("hello world\n")) expected.push_back(static_cast<char>(c ^ 0xFD));
  EXPECT_EQ(ReadFile(dir_ / "report.trp"), expected);
  ::unlink((dir_ / "report.txt").c_str());
  ASSERT_EQ(Run({"decrypt", "--passphrase-file=" + (dir_ / "pw"), dir_ / "report.trp"}), 0)
      << Err();
  EXPECT_EQ(ReadFile(dir_ / "report.txt"), "hello world\n");
}

TEST_F(CliTest, RelativeNamesAreTakenFromTheFolderTheUserIsIn) {
  ::mkdir((dir_ / "sub").c_str(), 0755);
  WriteFile(dir_ / "sub/a.txt", "abc");
  WriteFile(dir_ / "pw", "MY SECRET PHRASE\n");
  WriteFile(dir_ / "sub/pw", "ANOTHER PASS PHRASE 99\n");  // never the one meant
  std::filesystem::current_path(dir_.path());
  ASSERT_EQ(Run({"encrypt", "--method=trap", "--passphrase-file", "pw", "sub/a.txt"}), 0) << Err();
  EXPECT_EQ(ListNames(dir_ / "sub"), "a.trp a.txt pw");
  EXPECT_EQ(ProcessWorkingFolder(), dir_.path());  // talvor never changes folder
  // The same bytes as from standard input, where CR LF is taken off.
  WriteFile(dir_ / "b.txt", "abc");
  stdin_ = "MY SECRET PHRASE\r\n";
  ASSERT_EQ(Run({"encrypt", "--method", "trap", "--passphrase-file", "-", dir_ / "b.txt"}), 0);
  EXPECT_EQ(ReadFile(dir_ / "b.trp"), ReadFile(dir_ / "sub/a.trp"));
}

TEST_F(CliTest, SeveralFilesOnePassphraseEachItsLineTheWorstStatus) {
  WriteFile(dir_ / "a.txt", "abc");
  WriteFile(dir_ / "-x.txt", "def");
  std::filesystem::current_path(dir_.path());
  typed_ = {"my secret phrase", "my secret phrase"};
  EXPECT_EQ(Run({"encrypt", "--method", "trap", "a.txt", "none.txt", "--", "-x.txt"}), 1);
  EXPECT_EQ(console_->prompts.size(), 2U);  // asked once for all
  EXPECT_EQ(Out(), dir_ / "a.trp\n" + dir_ / "-x.trp\n");
  EXPECT_EQ(Err(), dir_ / "none.txt: File not found: " + dir_ / "none.txt.\n");
  // A refused file makes the worst status 2; the others are still done.
  typed_ = {"my secret phrase", "my secret phrase"};
  EXPECT_EQ(Run({"decrypt", dir_ / "a.txt", dir_ / "a.trp"}), 2);
  EXPECT_EQ(Out(), dir_ / "a.txt\n");
  // A pass phrase that cannot be used stops the run before any file.
  typed_ = {"too short", "too short"};
  EXPECT_EQ(Run({"encrypt", "--method", "orm", dir_ / "a.txt", dir_ / "-x.txt"}), 2);
  EXPECT_EQ(Err(), "The required password length is at least 14 characters!\n");
  EXPECT_EQ(ListNames(dir_.path()), "-x.trp -x.txt a.trp a.txt");
}

TEST_F(CliTest, PromptsTwiceOnTheTerminal) {
  WriteFile(dir_ / "a.txt", "abc");
  typed_ = {"my secret phrase", "MY SECRET PHRASE"};
  ASSERT_EQ(Run({"encrypt", "--method", "trap", dir_ / "a.txt"}), 0) << Err();
  EXPECT_EQ(console_->prompts, (std::vector<std::string>{"Password: ", "Re-enter password: "}));
  typed_ = {"my secret phrase", "my secret phrasf"};
  EXPECT_EQ(Run({"decrypt", dir_ / "a.trp"}), 2);
  EXPECT_EQ(Err(), "Your Password and Re-enter password do not match!\n");
  typed_ = {"my secret phrase"};  // then Ctrl+D
  console_terminal_ = true;
  EXPECT_EQ(Run({"decrypt", dir_ / "a.trp"}), 2);
  EXPECT_EQ(Err(), "The password was not entered a second time\n");
  typed_ = {};
  EXPECT_EQ(Run({"decrypt", dir_ / "a.trp"}), 2);
  EXPECT_EQ(Err(), "No password was given: the input ended before it was typed\n");
}

struct RefusalCase {
  const char* name;
  std::vector<std::string> args;  // "@" stands for the temporary folder
  std::string passphrase_line;
  int status;
  const char* err;  // exact text, or the start of the text when it ends with "..."
};

class CliRefusalTest : public CliTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(CliRefusalTest, RefusesWithStatusAndMessage) {
  const RefusalCase& c = GetParam();
  WriteFile(dir_ / "a.txt", "abc");
  WriteFile(dir_ / "A.TRP", "4.txtabc");
  WriteFile(dir_ / "long.abcdefghij", "abc");
  WriteFile(dir_ / "bad.trp", "x");
  WriteFile(dir_ / "pw", c.passphrase_line + "\n");
  ASSERT_EQ(::mkfifo((dir_ / "pipe.zip").c_str(), 0644), 0);  // would block a reader
  const std::string before = ListNames(dir_.path());
  std::vector<std::string> args;
  for (std::string a : c.args) {
    if (const auto at = a.find('@'); at != std::string::npos) a.replace(at, 1, dir_.path());
    args.push_back(a);
  }
  EXPECT_EQ(Run(args), c.status);
  std::string expected = c.err;
  if (const auto at = expected.find('@'); at != std::string::npos)
    expected.replace(at, 1, dir_.path());
  if (expected.size() > 3 && expected.substr(expected.size() - 3) == "...") {
    EXPECT_EQ(Err().substr(0, expected.size() - 3), expected.substr(0, expected.size() - 3))
        << Err();
  } else {
    EXPECT_EQ(Err(), expected);
  }
  EXPECT_EQ(ListNames(dir_.path()), before);
  EXPECT_EQ(Out(), "");
}

const std::string kGood = "my secret phrase";

INSTANTIATE_TEST_SUITE_P(
    Table, CliRefusalTest,
    ::testing::Values(
        RefusalCase{"NoArguments", {}, kGood, 2, "Usage:..."},
        RefusalCase{"UnknownCommand", {"shred", "@/a.txt"}, kGood, 2, "talvor: unknown command..."},
        RefusalCase{"EncryptWithoutMethod",
                    {"encrypt", "--passphrase-file", "@/pw", "@/a.txt"},
                    kGood,
                    2,
                    "talvor: encrypt needs --method..."},
        RefusalCase{"UnknownMethod",
                    {"encrypt", "--method", "rot13", "@/a.txt"},
                    kGood,
                    2,
                    "talvor: unknown method..."},
        RefusalCase{
            "NoFile", {"decrypt", "--method", "trap"}, kGood, 2, "talvor: no file given..."},
        RefusalCase{"OptionOfAnotherCommand",
                    {"decrypt", "--yes", "@/a.txt"},
                    kGood,
                    2,
                    "talvor: decrypt takes no option..."},
        RefusalCase{"MissingValue",
                    {"encrypt", "@/a.txt", "--method"},
                    kGood,
                    2,
                    "talvor: \"--method\" needs a value..."},
        RefusalCase{"DecryptCaseCounts",
                    {"decrypt", "--passphrase-file", "@/pw", "@/A.TRP"},
                    kGood,
                    2,
                    "File extension must be *.trp, *.orm, *.blf, *.rnl or *.erh\n"},
        RefusalCase{"DecryptMethodExtension",
                    {"decrypt", "--method", "trap", "--passphrase-file", "@/pw", "@/A.TRP"},
                    kGood,
                    2,
                    "File extension must be *.trp\n"},
        RefusalCase{"EmptyPassphrase",
                    {"encrypt", "--method", "trap", "--passphrase-file", "@/pw", "@/a.txt"},
                    "",
                    2,
                    "There is no pass phrase: the first line of the pass phrase file \"@/pw\" is "
                    "empty (the pass phrase is the first line)\n"},
        RefusalCase{"LoneCarriageReturn",
                    {"encrypt", "--method", "trap", "--passphrase-file", "@/pw", "@/a.txt"},
                    "\r",
                    2,
                    "There is no pass phrase: the first line of the pass phrase file..."},
        RefusalCase{"PassphraseFileIsAFolder",
                    {"encrypt", "--method", "trap", "--passphrase-file", "@", "@/a.txt"},
                    kGood,
                    2,
                    "The pass phrase file \"@\" is a folder\n"},
        RefusalCase{"PassphraseFileEmptyValue",
                    {"encrypt", "--method", "trap", "--passphrase-file=", "@/a.txt"},
                    kGood,
                    2,
                    "talvor: \"--passphrase-file\" is given an empty value..."},
        // The byte-order mark is not part of the phrase: 13 characters stay.
        RefusalCase{"ByteOrderMarkNotCounted",
                    {"encrypt", "--method", "trap", "--passphrase-file", "@/pw", "@/a.txt"},
                    "\xEF\xBB\xBFthirteen char",
                    2,
                    "The required password length is at least 14 characters!\n"},
        RefusalCase{"BlanksAreNoPassphrase",
                    {"encrypt", "--method", "trap", "--passphrase-file", "@/pw", "@/a.txt"},
                    " \t            ",
                    2,
                    "The required password length is at least 14 characters, not counting..."},
        RefusalCase{"ShortPassphrase",
                    {"encrypt", "--method", "trap", "--passphrase-file", "@/pw", "@/a.txt"},
                    "thirteen char",
                    2,
                    "The required password length is at least 14 characters!\n"},
        RefusalCase{"TooLongPassphrase",
                    {"encrypt", "--method", "trap", "--passphrase-file", "@/pw", "@/a.txt"},
                    std::string(402, 'x'),
                    2,
                    "The password may be at most 401 characters long!\n"},
        RefusalCase{
            "ExtensionTooLong",
            {"encrypt", "--method", "trap", "--passphrase-file", "@/pw", "@/long.abcdefghij"},
            kGood,
            2,
            "The extension \".abcdefghij\" is too long to be recorded..."},
        RefusalCase{"MissingFile",
                    {"encrypt", "--method", "trap", "--passphrase-file", "@/pw", "@/none.txt"},
                    kGood,
                    1,
                    "File not found: @/none.txt.\n"},
        RefusalCase{
            "ListMissing", {"list", "@/none.zip"}, kGood, 1, "File not found: @/none.zip.\n"},
        RefusalCase{"DamagedNamesTheFile",
                    {"decrypt", "--passphrase-file", "@/pw", "@/bad.trp"},
                    kGood,
                    1,
                    "@/bad.trp: 'x' is not a valid integer value.\n"},
        RefusalCase{"EncryptPipe",
                    {"encrypt", "--method", "blowfish", "--passphrase-file", "@/pw", "@/pipe.zip"},
                    kGood,
                    2,
                    "@/pipe.zip is a named pipe (FIFO), not a file..."},
        RefusalCase{
            "UnpackPipe", {"unpack", "@/pipe.zip"}, kGood, 2, "@/pipe.zip is a named pipe..."},
        RefusalCase{"PassphraseNotUtf8",
                    {"encrypt", "--method", "trap", "--passphrase-file", "@/pw", "@/a.txt"},
                    "MY SECRET PHRASE CAF\xC9 2024",
                    2,
                    "The password is not UTF-8 text..."},
        RefusalCase{"NoTerminal",
                    {"encrypt", "--method", "trap", "@/a.txt"},
                    kGood,
                    2,
                    "No terminal to ask for the password on..."},
        RefusalCase{"PackUnknownFormat",
                    {"pack", "--format", "rar", "@/a.txt"},
                    kGood,
                    2,
                    "talvor: unknown format..."}),
    testing::ByName());

TEST_F(CliTest, EncryptAndDecryptEveryOtherMethod) {
  WriteFile(dir_ / "pw", "my secret phrase\n");
  const std::pair<const char*, const char*> methods[] = {
      {"orm", ".orm"}, {"blowfish", ".blf"}, {"rijndael", ".rnl"}, {"random", ".erh"}};
  for (const auto& [method, ext] : methods) {
    WriteFile(dir_ / "doc.txt", std::string("contents for ") + method);
    ASSERT_EQ(
        Run({"encrypt", "--method", method, "--passphrase-file", dir_ / "pw", dir_ / "doc.txt"}), 0)
        << Err();
    EXPECT_EQ(Out(), dir_ / (std::string("doc") + ext) + "\n");
    ::unlink((dir_ / "doc.txt").c_str());
    ASSERT_EQ(Run({"decrypt", "--passphrase-file", dir_ / "pw", dir_ / (std::string("doc") + ext)}),
              0)
        << Err();
    EXPECT_EQ(ReadFile(dir_ / "doc.txt"), std::string("contents for ") + method);
    EXPECT_FALSE(testing::Exists(dir_ / "temp.tmp"));
  }
  WriteFile(dir_ / "wrong", "another pass phrase\n");
  EXPECT_EQ(Run({"decrypt", "--passphrase-file", dir_ / "wrong", dir_ / "doc.rnl"}), 1);
  EXPECT_EQ(Err(), dir_ / "doc.rnl: Wrong password or damaged file.\n");
}

TEST_F(CliTest, DestroyAsksOrTakesYes) {
  WriteFile(dir_ / "a.txt", "secret");
  ASSERT_EQ(::link((dir_ / "a.txt").c_str(), (dir_ / "b.txt").c_str()), 0);
  EXPECT_EQ(Run({"destroy", dir_ / "a.txt"}), 2);  // no terminal, no --yes
  EXPECT_EQ(Err(), "Warning: " + OverwriteWarning(fs_.Storage(dir_ / "a.txt")) +
                       "\nThis command asks a question first: answer it on a terminal, or give "
                       "--yes\n");
  EXPECT_THAT(Err(), ::testing::HasSubstr("1 other name (a hard link)"));
  EXPECT_EQ(ReadFile(dir_ / "a.txt"), "secret");
  EXPECT_EQ(Run({"destroy", "--yes", dir_ / "a.txt"}), 0) << Err();
  EXPECT_FALSE(testing::Exists(dir_ / "a.txt"));
  EXPECT_EQ(Run({"destroy", "--yes", dir_ / "a.txt"}), 1);
  EXPECT_EQ(Err(), "File not found: " + (dir_ / "a.txt") + ".\n");
  ASSERT_EQ(::symlink("/etc/hostname", (dir_ / "link").c_str()), 0);
  EXPECT_EQ(Run({"destroy", "--yes", dir_ / "link"}), 2);
}

TEST_F(CliTest, PackListUnpackLha) {
  std::string text;
  for (int i = 0; i < 400; ++i) text += "line " + std::to_string(i % 17) + " of some text\n";
  WriteFile(dir_ / "notes.txt", text);
  ASSERT_EQ(Run({"pack", "--format", "lha", dir_ / "notes.txt"}), 0) << Err();
  EXPECT_EQ(Out(), dir_ / "notes.lha\n");
  ASSERT_EQ(Run({"list", dir_ / "notes.lha"}), 0) << Err();
  EXPECT_EQ(Out().substr(0, 5), "-lh6-");
  EXPECT_NE(Out().find(" notes.txt\n"), std::string::npos);
  ASSERT_EQ(Run({"unpack", "--to", dir_ / "out/deeper", dir_ / "notes.lha"}), 0) << Err();
  EXPECT_EQ(ReadFile(dir_ / "out/deeper/notes.txt"), text);
  EXPECT_EQ(Run({"unpack", "--to", dir_ / "notes.txt/x", dir_ / "notes.lha"}), 2);
  EXPECT_EQ(Err(), "Cannot unpack into " + (dir_ / "notes.txt/x") + ": " + (dir_ / "notes.txt") +
                       " is a file, not a folder\n");
  // Into the archive's own folder by default, replacing what is there.
  WriteFile(dir_ / "notes.txt", "changed");
  ASSERT_EQ(Run({"unpack", dir_ / "notes.lha"}), 0) << Err();
  EXPECT_EQ(ReadFile(dir_ / "notes.txt"), text);
}

TEST_F(CliTest, PackListUnpackEveryFormat) {
  const std::string text(5000, 'z');
  WriteFile(dir_ / "doc.txt", text);
  const std::pair<const char*, const char*> formats[] = {
      {"lha", "-lh6-"}, {"zip", "deflate"}, {"bh", "deflate"}, {"cab", "MsZIP"}};
  for (const auto& [format, method] : formats) {
    ASSERT_EQ(Run({"pack", "--format", format, dir_ / "doc.txt"}), 0) << Err();
    const std::string archive = dir_ / (std::string("doc.") + format);
    ASSERT_EQ(Run({"list", archive}), 0) << Err();
    EXPECT_EQ(Out().substr(0, std::strlen(method)), method) << format;
    ASSERT_EQ(Run({"unpack", "--to", dir_ / format, archive}), 0) << Err();
    EXPECT_EQ(ReadFile(dir_ / (std::string(format) + "/doc.txt")), text) << format;
    EXPECT_EQ(Run({"test", archive}), 0) << Err();
    EXPECT_EQ(Out(), "sound    doc.txt\n");
    // Damaged data inside the entry: found, said, and nothing written.
    std::string bytes = ReadFile(archive);
    bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x55);
    WriteFile(archive, bytes);
    const std::string before = ListNames(dir_.path());
    EXPECT_EQ(Run({"test", archive}), 1) << format;
    EXPECT_FALSE(Err().empty()) << format;
    EXPECT_EQ(ListNames(dir_.path()), before);
  }
}

// One line of output is about one file: a name holding a line break is
// quoted as ls(1) quotes it, and with several archives each line of test
// starts with its archive.
TEST_F(CliTest, EveryOutputLineNamesItsFile) {
  WriteFile(dir_ / "a\nb.txt", "two lines in a name");
  ASSERT_EQ(Run({"pack", "--format", "zip", dir_ / "a\nb.txt"}), 0) << Err();
  EXPECT_EQ(Out(), "'" + (dir_ / "a") + "'$'\\n''b.zip'\n");
  WriteFile(dir_ / "c.txt", "third");
  ASSERT_EQ(Run({"pack", "--format", "lha", dir_ / "c.txt"}), 0) << Err();
  ASSERT_EQ(Run({"test", dir_ / "a\nb.zip", dir_ / "c.lha"}), 0) << Err();
  EXPECT_EQ(Out(), "'" + (dir_ / "a") + "'$'\\n''b.zip': sound    a?b.txt\n" + (dir_ / "c.lha") +
                       ": sound    c.txt\n");
}

TEST_F(CliTest, TestTellsWhetherThePassphraseOpensAProtectedFile) {
  WriteFile(dir_ / "doc.txt", "contents");
  WriteFile(dir_ / "pw", "my secret phrase\n");
  WriteFile(dir_ / "wrong", "another pass phrase\n");
  for (const char* method : {"blowfish", "random"}) {
    ASSERT_EQ(
        Run({"encrypt", "--method", method, "--passphrase-file", dir_ / "pw", dir_ / "doc.txt"}),
        0);
  }
  const std::string before = ListNames(dir_.path());
  EXPECT_EQ(Run({"test", "--passphrase-file", dir_ / "pw", dir_ / "doc.blf", dir_ / "doc.erh"}), 0)
      << Err();
  EXPECT_EQ(Out(), dir_ / "doc.blf: sound, and the pass phrase opens it\n" +
                       dir_ / "doc.erh: sound, and the pass phrase opens it\n");
  EXPECT_EQ(Run({"test", "--passphrase-file", dir_ / "wrong", dir_ / "doc.blf"}), 1);
  EXPECT_EQ(Err(), dir_ / "doc.blf: Wrong password or damaged file.\n");
  EXPECT_EQ(ListNames(dir_.path()), before);
}

TEST_F(CliTest, PackAsksBeforeReplacingAnArchive) {
  WriteFile(dir_ / "a.txt", "new content");
  WriteFile(dir_ / "a.lha", "an old archive the user keeps");
  EXPECT_EQ(Run({"pack", "--format", "lha", dir_ / "a.txt"}), 2);
  EXPECT_EQ(ReadFile(dir_ / "a.lha"), "an old archive the user keeps");
  ASSERT_EQ(Run({"pack", "--format", "lha", "--yes", dir_ / "a.txt"}), 0) << Err();
  ASSERT_EQ(Run({"list", dir_ / "a.lha"}), 0);
  const std::string listing = Out();
  EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), 1);  // the old entries are gone
  // A file that is itself an .lha is not packed over itself.
  EXPECT_EQ(Run({"pack", "--format", "lha", "--yes", dir_ / "a.lha"}), 2);
}

TEST_F(CliTest, ArchiveErrorsAreReportedWithCodes) {
  WriteFile(dir_ / "bad.lzh", std::string("\x05\x00-lh0-", 7) + std::string(30, '\0'));
  EXPECT_EQ(Run({"list", dir_ / "bad.lzh"}), 1);
  EXPECT_EQ(Err().substr(0, 28), "Error 25114: Bad file header");
  EXPECT_EQ(Run({"unpack", dir_ / "bad.lzh"}), 1);
  EXPECT_EQ(Run({"unpack", dir_ / "bad.rar"}), 1);  // missing: "File not found"
  WriteFile(dir_ / "x.rar", "x");
  EXPECT_EQ(Run({"unpack", dir_ / "x.rar"}), 1);  // no archive at all
  EXPECT_EQ(Err(), "The file " + (dir_ / "x.rar") + " is not a CAB, LHA, ZIP or BH archive.\n");
}

TEST_F(CliTest, HelpAndVersion) {
  EXPECT_EQ(Run({"--version"}), 0);
  EXPECT_EQ(Out(), "talvor (ZEM Talvor) 2.0\n");
  EXPECT_EQ(Run({"--help"}), 0);
  EXPECT_NE(Out().find("talvor decrypt [--method M] [--passphrase-file FILE|-] FILE"),
            std::string::npos);
}

TEST_F(CliTest, FilesAreInterchangeableWithTheWindows) {
  // The windows' routine with the window's pass phrase, decrypted by talvor.
  WriteFile(dir_ / "a.txt", "from the window");
  Job job;
  EncryptTrp(fs_, dir_ / "a.txt", "ZA\xAF\xD3\xA3\xC6 G\xCA\x8CL\xA5 JA\x8C\xD1", job);
  ::unlink((dir_ / "a.txt").c_str());
  WriteFile(dir_ / "pw",
            "za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 g\xC4\x99\xC5\x9Bl\xC4\x85 ja\xC5\x9B\xC5\x84\n");
  ASSERT_EQ(Run({"decrypt", "--passphrase-file", dir_ / "pw", dir_ / "a.trp"}), 0) << Err();
  EXPECT_EQ(ReadFile(dir_ / "a.txt"), "from the window");
}

// The real program, as a script would run it.
TEST(TalvorProgramTest, ExitStatusAndFiles) {
  TempDir dir;
  WriteFile(dir / "a.txt", "abc");
  WriteFile(dir / "pw", "MY SECRET PHRASE\n");
  const auto run = [](std::vector<std::string> args) {
    args.insert(args.begin(), TALVOR_BINARY);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(run({"encrypt", "--method", "trap", "--passphrase-file", dir / "pw", dir / "a.txt"}),
            0);
  EXPECT_EQ(ReadFile(dir / "a.trp").size(), 8U);
  EXPECT_EQ(run({"decrypt", "--passphrase-file", dir / "pw", dir / "missing.trp"}), 1);
  EXPECT_EQ(run({"decrypt", dir / "a.trp"}), 2);  // no terminal, no pass phrase file
  EXPECT_EQ(run({"bogus"}), 2);
}

}  // namespace
}  // namespace talvor

namespace talvor {
namespace {

TEST(ProgressLineTest, ShownAfterHalfASecondAndClearedAtTheEnd) {
  std::ostringstream out;
  auto now = std::chrono::steady_clock::time_point();
  {
    ProgressLine line(out, "report.txt", 10 << 20, [&] { return now; });
    line.Report(0, 1000);
    now += std::chrono::milliseconds(400);
    line.Report(100, 1000);
    EXPECT_EQ(out.str(), "") << "quiet for the first half second";
    now += std::chrono::milliseconds(600);
    line.Report(250, 1000);
    EXPECT_EQ(out.str(), "\r\033[Ktalvor: report.txt: 25 % (2.5 of 10.0 MiB), about 3 s left");
    line.Report(251, 1000);  // the same percentage is not written again
    EXPECT_EQ(out.str().size(), 62U);
    line.Report(1000, 1000);
    EXPECT_EQ(out.str().substr(62), "\r\033[K");
  }
  EXPECT_EQ(out.str().size(), 66U) << "nothing more to clear";
}

}  // namespace
}  // namespace talvor

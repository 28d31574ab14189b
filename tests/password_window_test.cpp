#include <gtest/gtest.h>

#include "fakes.h"
#include "password/password_window.h"
#include "test_support.h"

namespace talvor {
namespace {

using testing::FakeDialogs;
using testing::FakePasswordView;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
using Field = PasswordView::Field;

class PasswordWindowTest : public ::testing::Test {
 protected:
  PasswordWindowTest() {
    form_.AttachView(view_);
    form_.Create();
  }

  void Prepare(std::uint8_t code, const std::string& path) {
    request_ = {};
    request_.method = MethodByCode(code, &request_.direction);
    request_.file = path;
  }
  void ShowModal() { result_ = form_.Run(request_); }
  [[nodiscard]] bool Cancelled() const {
    return result_.status == CipherResult::Status::kCancelled;
  }

  TempDir dir_;
  CipherRequest request_;
  CipherResult result_;
  FakeDialogs dialogs_;
  PosixFileSystem fs_;
  RandomGenerator random_;
  SystemClock clock_;
  InlineWorker worker_;
  PasswordWindow form_{dialogs_, fs_, random_, clock_, worker_};
  FakePasswordView view_{form_};
};

TEST_F(PasswordWindowTest, CreationWithoutACodeKeepsTheDesign) {
  EXPECT_EQ(view_.caption, "ZEM TALVOR ");
  EXPECT_EQ(view_.button, "");
  EXPECT_EQ(view_.file_line, "");
}

struct ShowCase {
  std::uint8_t code;
  const char* caption;
  const char* button;
  const char* prefix;
};

class PasswordWindowTextsTest : public PasswordWindowTest,
                                public ::testing::WithParamInterface<ShowCase> {};

TEST_P(PasswordWindowTextsTest, ShowsCaptionButtonAndFileLine) {
  const ShowCase& c = GetParam();
  Prepare(c.code, "/some/where/file.bin");
  ShowModal();
  EXPECT_EQ(view_.caption, c.caption);
  EXPECT_EQ(view_.button, c.button);
  EXPECT_EQ(view_.file_line, *c.prefix ? std::string(c.prefix) + "/some/where/file.bin" : "");
}

INSTANTIATE_TEST_SUITE_P(
    Codes, PasswordWindowTextsTest,
    ::testing::Values(
        ShowCase{1, "ZEM TALVOR :encrypt file - algorithm TRAP", "Encrypt", "File :"},
        ShowCase{2, "ZEM TALVOR :decrypt file - algorithm TRAP", "Decrypt", "File  :"},
        ShowCase{3, "ZEM TALVOR :encrypt file - algorithm ORM", "Encrypt", "File  :"},
        ShowCase{4, "ZEM TALVOR :decrypt file - algorithm ORM", "Decrypt", "File :"},
        ShowCase{5, "ZEM TALVOR :encrypt file - algorithm BLOWFISH", "Encrypt", "File  :"},
        ShowCase{6, "ZEM TALVOR :decrypt file - algorithm BLOWFISH", "Decrypt", "File :"},
        ShowCase{7, "ZEM TALVOR :encrypt file - algorithm RIJNDAEL", "Encrypt", "File  :"},
        ShowCase{8, "ZEM TALVOR :decrypt file - algorithm RIJNDAEL", "Decrypt", "File  :"},
        ShowCase{9, "ZEM TALVOR :encrypt file - random algorithm", "Encrypt", "File :"},
        ShowCase{10, "ZEM TALVOR :decrypt file - random algorithm", "Decrypt", "File  :"},
        // Codes outside 1 to 10 change nothing.
        ShowCase{0, "ZEM TALVOR ", "", ""}, ShowCase{11, "ZEM TALVOR ", "", ""}));

TEST_F(PasswordWindowTest, EchoesCountTrimmedCharacters) {
  Prepare(1, dir_ / "a.txt");
  view_.user = [](FakePasswordView& v) {
    EXPECT_EQ(v.echo1, "0");  // at the first showing
    EXPECT_EQ(v.echo2, "");   // nothing until the second field changes
    v.Type(Field::kPassphrase, "  ab\xC4\x85 ");
    EXPECT_EQ(v.echo1, "3");
    EXPECT_EQ(v.echo2, "");
    v.Type(Field::kRepeat, "x");
    EXPECT_EQ(v.echo2, "1");
  };
  ShowModal();
}

struct ValidationCase {
  const char* name;
  std::string first;
  std::string second;
  const char* message;
  bool fields_emptied;
};

class PasswordValidationTest : public PasswordWindowTest,
                               public ::testing::WithParamInterface<ValidationCase> {};

TEST_P(PasswordValidationTest, RefusesWithMessageAndStaysOpen) {
  const ValidationCase& c = GetParam();
  WriteFile(dir_ / "a.txt", "data");
  Prepare(1, dir_ / "a.txt");
  view_.user = [&](FakePasswordView& v) {
    v.Type(Field::kPassphrase, c.first);
    v.Type(Field::kRepeat, c.second);
    v.ClickAction(dialogs_);
    EXPECT_TRUE(v.open);
    if (c.fields_emptied) {
      EXPECT_EQ(v.field1, "");
      EXPECT_EQ(v.field2, "");
      EXPECT_EQ(v.echo1, "0");
      EXPECT_EQ(v.echo2, "0");
    } else {
      EXPECT_EQ(v.field1, PasswordFieldText(c.first));
    }
  };
  ShowModal();
  EXPECT_EQ(dialogs_.messages, std::vector<std::string>{c.message});
  EXPECT_TRUE(Cancelled());
  EXPECT_EQ(testing::ListNames(dir_.path()), "a.txt");
}

INSTANTIATE_TEST_SUITE_P(
    Table, PasswordValidationTest,
    ::testing::Values(
        ValidationCase{"EmptyFirst", "", "SECOND FIELD HAS TEXT", "Password???", false},
        ValidationCase{"Thirteen", "thirteen char", "thirteen char",
                       "The required password length is at least 14 characters!", false},
        ValidationCase{"Mismatch", "fourteen chars", "fourteen charz",
                       "Your Password and Re-enter password do not match!", true},
        ValidationCase{"OutsideCodePage", "pass \xD0\xB6\xD0\xB6 phrase!",
                       "pass \xD0\xB6\xD0\xB6 phrase!",
                       "The password contains the character \"\xD0\xB6\", which the Central "
                       "European (Windows-1250) character set does not hold. Please use other "
                       "characters!",
                       false}),
    testing::ByName());

TEST_F(PasswordWindowTest, AcceptedPassphraseRunsTheRoutineAndCloses) {
  WriteFile(dir_ / "a.txt", "data");
  Prepare(1, dir_ / "a.txt");
  view_.user = [&](FakePasswordView& v) {
    v.TypeBoth("my secret phrase");  // typed in lower case
    EXPECT_EQ(v.field1, "MY SECRET PHRASE");
    v.ClickAction(dialogs_);
    EXPECT_FALSE(v.open);
  };
  ShowModal();
  EXPECT_TRUE(dialogs_.messages.empty());
  EXPECT_TRUE(dialogs_.errors.empty());
  EXPECT_FALSE(Cancelled());
  EXPECT_EQ(view_.field1, "");
  EXPECT_EQ(view_.field2, "");
  // "MY SECRET PHRASE" gives the mask 0xFD.
  EXPECT_EQ(ReadFile(dir_ / "a.trp"), std::string("4.txt") + char('d' ^ 0xFD) + char('a' ^ 0xFD) +
                                          char('t' ^ 0xFD) + char('a' ^ 0xFD));
}

TEST_F(PasswordWindowTest, PassphraseIsTrimmedBeforeTheRoutine) {
  WriteFile(dir_ / "a.txt", "data");
  Prepare(1, dir_ / "a.txt");
  view_.user = [&](FakePasswordView& v) {
    v.TypeBoth("   MY SECRET PHRASE\t ");
    v.ClickAction(dialogs_);
  };
  ShowModal();
  EXPECT_EQ(static_cast<std::uint8_t>(ReadFile(dir_ / "a.trp")[5]), 'd' ^ 0xFD);
}

TEST_F(PasswordWindowTest, FailingRoutineLeavesWindowOpenWithFieldsEmptied) {
  Prepare(1, dir_ / "vanished.txt");
  view_.user = [&](FakePasswordView& v) {
    v.TypeBoth("MY SECRET PHRASE");
    v.ClickAction(dialogs_);
    EXPECT_TRUE(v.open);
    EXPECT_EQ(v.field1, "");  // emptied before the routine started
    EXPECT_EQ(v.echo1, "0");
  };
  ShowModal();
  EXPECT_EQ(dialogs_.errors,
            std::vector<std::string>{"File not found: " + (dir_ / "vanished.txt") + "."});
  EXPECT_TRUE(Cancelled());
}

TEST_F(PasswordWindowTest, CancelKeepsTextsForTheNextShowing) {
  Prepare(1, dir_ / "a.txt");
  view_.user = [](FakePasswordView& v) {
    v.TypeBoth("half typed");
    v.ClickCancel();
    EXPECT_FALSE(v.open);
  };
  ShowModal();
  EXPECT_TRUE(Cancelled());
  view_.user = [](FakePasswordView& v) {
    EXPECT_EQ(v.field1, "HALF TYPED");
    EXPECT_EQ(v.field2, "HALF TYPED");
  };
  ShowModal();
}

TEST_F(PasswordWindowTest, CodeOutsideTheTableDoesNothing) {
  Prepare(0, dir_ / "a.txt");
  view_.user = [&](FakePasswordView& v) {
    v.TypeBoth("MY SECRET PHRASE");
    v.ClickAction(dialogs_);
    EXPECT_TRUE(v.open);
    EXPECT_EQ(v.field1, "MY SECRET PHRASE");
  };
  ShowModal();
  EXPECT_TRUE(dialogs_.messages.empty());
}

// Toggle clicks: the box clicked last decides the mode.
struct ToggleCase {
  const char* name;
  std::vector<PasswordView::Check> clicks;
  bool checked1;
  bool checked2;
  char password_char;
};

class PasswordToggleTest : public PasswordWindowTest,
                           public ::testing::WithParamInterface<ToggleCase> {};

TEST_P(PasswordToggleTest, ModeFollowsTheClickedBox) {
  for (const PasswordView::Check box : GetParam().clicks) view_.ClickBox(box);
  EXPECT_EQ(view_.checked1, GetParam().checked1);
  EXPECT_EQ(view_.checked2, GetParam().checked2);
  EXPECT_EQ(view_.password_char, GetParam().password_char);
}

constexpr auto kBox1 = PasswordView::Check::kShowCharacters;
constexpr auto kBox2 = PasswordView::Check::kMaskCharacters;

INSTANTIATE_TEST_SUITE_P(
    Clicks, PasswordToggleTest,
    ::testing::Values(ToggleCase{"MaskIt", {kBox2}, false, true, '*'},
                      ToggleCase{"MaskThenPlain", {kBox2, kBox1}, true, false, '\0'},
                      ToggleCase{"UntickMaskStaysMasked", {kBox2, kBox2}, false, false, '*'},
                      ToggleCase{"UntickPlainStaysPlain", {kBox1}, false, false, '\0'},
                      ToggleCase{"PlainUntickedThenMask", {kBox1, kBox2}, false, true, '*'}),
    testing::ByName());

}  // namespace
}  // namespace talvor

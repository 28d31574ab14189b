#include "app/password_dialog.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include "platform/file_system.h"
#include "protect/passphrase.h"
#include "test_support.h"

namespace talvor {
namespace {

using testing::Child;
using testing::Type;

class AppPasswordDialog : public ::testing::Test {
 protected:
  AppPasswordDialog() : form_(dialogs_, fs_, random_, clock_, worker_), dialog_(form_, dialogs_) {
    form_.AttachView(dialog_);
    form_.Create();
  }

  QLineEdit& Field(const char* name) { return Child<QLineEdit>(dialog_, name); }
  QString Text(const char* name) { return Child<QLabel>(dialog_, name).text(); }
  void Click(const char* name) {
    QWidget& widget = Child<QWidget>(dialog_, name);
    QTest::mouseClick(&widget, Qt::LeftButton, {}, QPoint(4, widget.height() / 2));
  }

  testing::RecordingDialogs dialogs_;
  PosixFileSystem fs_;
  RandomGenerator random_;
  SystemClock clock_;
  InlineWorker worker_;
  CipherRequest request_{MethodByName("trap"), Direction::kDecrypt, "/data/report.trp"};
  CipherResult result_;
  PasswordWindow form_;
  PasswordDialog dialog_;
};

struct FieldCase {
  const char* name;
  std::string typed;
  std::string expected;
};

class AppPasswordField : public AppPasswordDialog,
                         public ::testing::WithParamInterface<FieldCase> {};

// Typing and pasting both end in capitals within the 401-character limit.
TEST_P(AppPasswordField, HoldsCapitalsWithinTheLimit) {
  const QString typed = QString::fromStdString(GetParam().typed);
  Type(Field("Passphrase"), typed);
  Field("Repeat").insert(typed);  // as a paste does
  EXPECT_EQ(Field("Passphrase").text().toStdString(), GetParam().expected);
  EXPECT_EQ(Field("Repeat").text().toStdString(), GetParam().expected);
  const QString count = QString::number(QString::fromStdString(GetParam().expected).size());
  EXPECT_EQ(Text("Label4"), count);
  EXPECT_EQ(Text("Label5"), count);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, AppPasswordField,
    ::testing::Values(FieldCase{"Ascii", "abc xyz 123", "ABC XYZ 123"},
                      FieldCase{"Polish", "zażółć gęślą jaźń", "ZAŻÓŁĆ GĘŚLĄ JAŹŃ"},
                      FieldCase{"NoCapitalInTheCodePage", "straße ёж", "STRAßE ёж"},
                      FieldCase{"OverTheLimit", std::string(405, 'q'), std::string(401, 'Q')}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

struct FitCase {
  const char* name;
  int length;  // of the field's text before
  int cursor;
  bool paste;  // or typed key by key
  QString text;
  QString kept;  // what goes in at the cursor
};

class AppPasswordFit : public AppPasswordDialog, public ::testing::WithParamInterface<FitCase> {};

// What does not fit into the 401 characters is refused; the text after the
// cursor stays.
TEST_P(AppPasswordFit, TakesWhatFitsAtTheCursor) {
  const FitCase& c = GetParam();
  QString before;
  for (int i = 0; i < c.length; ++i) before += QChar(u'A' + i % 26);
  QLineEdit& field = Field("Passphrase");
  field.setText(before);
  field.setCursorPosition(c.cursor);
  if (c.paste) {
    QGuiApplication::clipboard()->setText(c.text);
    field.paste();
  } else {
    Type(field, c.text);
  }
  EXPECT_EQ(field.text().toStdString(),
            (before.left(c.cursor) + c.kept + before.mid(c.cursor)).toStdString());
  EXPECT_EQ(field.cursorPosition(), c.cursor + c.kept.size());
  EXPECT_EQ(Text("Label4"), QString::number(c.length + c.kept.toUcs4().size()));
}

INSTANTIATE_TEST_SUITE_P(
    Edits, AppPasswordFit,
    ::testing::Values(FitCase{"KeyInAFullField", 401, 200, false, "x", ""},
                      FitCase{"KeysInTheMiddle", 399, 10, false, "xyz", "XY"},
                      FitCase{"PasteInTheMiddle", 395, 100, true, "abcdefghij", "ABCDEF"},
                      // Two UTF-16 units each, one character each.
                      FitCase{"PasteBeyondTheBasicPlane", 398, 50, true,
                              QString::fromUtf8("\U0001F600\U0001F600\U0001F600\U0001F600"),
                              QString::fromUtf8("\U0001F600\U0001F600\U0001F600")}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(AppPasswordDialog, KeepsTheCursorWhereTheTypingWas) {
  QLineEdit& field = Field("Passphrase");
  Type(field, "abc");
  field.setCursorPosition(1);
  Type(field, "x");
  EXPECT_EQ(field.text(), "AXBC");
  EXPECT_EQ(field.cursorPosition(), 2);
}

struct MaskCase {
  const char* name;
  std::vector<const char*> clicks;
  bool box1;
  bool box2;
  bool masked;
};

class AppPasswordMask : public AppPasswordDialog, public ::testing::WithParamInterface<MaskCase> {};

TEST_P(AppPasswordMask, FollowsTheBoxes) {
  Type(Field("Passphrase"), "secret");
  for (const char* box : GetParam().clicks) Click(box);
  EXPECT_EQ(Child<QCheckBox>(dialog_, "ShowCharacters").isChecked(), GetParam().box1);
  EXPECT_EQ(Child<QCheckBox>(dialog_, "MaskCharacters").isChecked(), GetParam().box2);
  EXPECT_EQ(Field("Passphrase").displayText(), GetParam().masked ? "******" : "SECRET");
  EXPECT_EQ(Field("Repeat").echoMode(), Field("Passphrase").echoMode());
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, AppPasswordMask,
    ::testing::Values(
        MaskCase{"AtStart", {}, true, false, false},
        MaskCase{"Mask", {"MaskCharacters"}, false, true, true},
        MaskCase{"MaskThenPlain", {"MaskCharacters", "ShowCharacters"}, true, false, false},
        MaskCase{"MaskTwice", {"MaskCharacters", "MaskCharacters"}, false, false, true}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(AppPasswordDialog, TickingFromTheLogicRunsNoClickHandler) {
  dialog_.SetChecked(PasswordView::Check::kMaskCharacters, true);
  EXPECT_EQ(Field("Passphrase").echoMode(), QLineEdit::Normal);
  EXPECT_TRUE(Child<QCheckBox>(dialog_, "ShowCharacters").isChecked());
}

// Cancel, Escape and the window manager's close each end the showing and
// leave the texts for the next one.
TEST_F(AppPasswordDialog, EveryWayOutKeepsTheTexts) {
  const std::vector<std::function<void(QWidget&)>> exits = {
      [this](QWidget&) { Click("CancelButton"); },
      [](QWidget& modal) { QTest::keyClick(&modal, Qt::Key_Escape); },
      [](QWidget& modal) { modal.close(); }};
  Type(Field("Passphrase"), "first");
  Type(Field("Repeat"), "second");
  for (const auto& leave : exits) {
    testing::OnModal([&](QWidget& modal) {
      EXPECT_EQ(modal.windowTitle(), "ZEM TALVOR :decrypt file - algorithm TRAP");
      EXPECT_EQ(Child<QToolButton>(dialog_, "RunButton").text(), "Decrypt");
      EXPECT_EQ(Text("Label1"), "File  :/data/report.trp");
      EXPECT_EQ(Field("Passphrase").text(), "FIRST");
      EXPECT_EQ(Field("Repeat").text(), "SECOND");
      leave(modal);
    });
    result_ = form_.Run(request_);
    EXPECT_FALSE(dialog_.isVisible());
  }
  EXPECT_EQ(result_.status, CipherResult::Status::kCancelled);
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(AppPasswordDialog, TheKeyboardReachesAndPressesEveryControl) {
  EXPECT_EQ(Field("Passphrase").accessibleName(), "Password");
  EXPECT_EQ(Field("Repeat").accessibleName(), "Re-enter password");
  EXPECT_EQ(Child<QLabel>(dialog_, "Label3").buddy(), &Field("Repeat"));
  testing::OnModal([this](QWidget& modal) {
    ASSERT_EQ(modal.focusWidget(), &Field("Passphrase"));
    EXPECT_EQ(testing::TabOrder(modal, 6),
              (std::vector<std::string>{"Repeat", "RunButton", "CancelButton", "ShowCharacters",
                                        "MaskCharacters", "Passphrase"}));
    Child<QWidget>(modal, "RunButton").setFocus();
    QTest::keyClick(modal.focusWidget(), Qt::Key_Return);
    EXPECT_EQ(dialogs_.messages, std::vector<std::string>{kPasswordEmptyText});
    Child<QWidget>(modal, "MaskCharacters").setFocus();
    QTest::keyClick(modal.focusWidget(), Qt::Key_Space);
    EXPECT_EQ(Field("Passphrase").echoMode(), QLineEdit::Password);
    Child<QWidget>(modal, "CancelButton").setFocus();
    QTest::keyClick(modal.focusWidget(), Qt::Key_Space);
  });
  result_ = form_.Run(request_);
  EXPECT_FALSE(dialog_.isVisible());
  // The next showing starts in the first field again.
  testing::OnModal([this](QWidget& modal) {
    EXPECT_EQ(modal.focusWidget(), &Field("Passphrase"));
    modal.close();
  });
  result_ = form_.Run(request_);
}

TEST_F(AppPasswordDialog, MismatchEmptiesBothFieldsAndTheirEchoes) {
  testing::OnModal([this](QWidget&) {
    Type(Field("Passphrase"), "fourteen chars one");
    Type(Field("Repeat"), "fourteen chars two");
    Click("RunButton");
    EXPECT_TRUE(dialog_.isVisible());
    EXPECT_EQ(Field("Passphrase").text(), "");
    EXPECT_EQ(Text("Label4"), "0");
    EXPECT_EQ(Text("Label5"), "0");
    Click("CancelButton");
  });
  result_ = form_.Run(request_);
  EXPECT_EQ(dialogs_.messages, std::vector<std::string>{kPasswordMismatchText});
}

}  // namespace
}  // namespace talvor

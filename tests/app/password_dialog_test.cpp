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
  AppPasswordDialog()
      : form_(hand_over_, dialogs_, fs_, random_, clock_), dialog_(form_, dialogs_) {
    form_.AttachView(dialog_);
    form_.FormCreate();
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
  HandOver hand_over_{operation::kDecryptTrap, "/data/report.trp", true};
  TForm2 form_;
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
  Type(Field("MaskEdit1"), typed);
  Field("MaskEdit2").insert(typed);  // as a paste does
  EXPECT_EQ(Field("MaskEdit1").text().toStdString(), GetParam().expected);
  EXPECT_EQ(Field("MaskEdit2").text().toStdString(), GetParam().expected);
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
  QLineEdit& field = Field("MaskEdit1");
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
  QLineEdit& field = Field("MaskEdit1");
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
  Type(Field("MaskEdit1"), "secret");
  for (const char* box : GetParam().clicks) Click(box);
  EXPECT_EQ(Child<QCheckBox>(dialog_, "CheckBox1").isChecked(), GetParam().box1);
  EXPECT_EQ(Child<QCheckBox>(dialog_, "CheckBox2").isChecked(), GetParam().box2);
  EXPECT_EQ(Field("MaskEdit1").displayText(), GetParam().masked ? "******" : "SECRET");
  EXPECT_EQ(Field("MaskEdit2").echoMode(), Field("MaskEdit1").echoMode());
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, AppPasswordMask,
    ::testing::Values(MaskCase{"AtStart", {}, true, false, false},
                      MaskCase{"Mask", {"CheckBox2"}, false, true, true},
                      MaskCase{"MaskThenPlain", {"CheckBox2", "CheckBox1"}, true, false, false},
                      MaskCase{"MaskTwice", {"CheckBox2", "CheckBox2"}, false, false, true}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(AppPasswordDialog, TickingFromTheLogicRunsNoClickHandler) {
  dialog_.SetChecked(PasswordView::kCheckBox2, true);
  EXPECT_EQ(Field("MaskEdit1").echoMode(), QLineEdit::Normal);
  EXPECT_TRUE(Child<QCheckBox>(dialog_, "CheckBox1").isChecked());
}

// Cancel, Escape and the window manager's close each end the showing and
// leave the texts for the next one.
TEST_F(AppPasswordDialog, EveryWayOutKeepsTheTexts) {
  const std::vector<std::function<void(QWidget&)>> exits = {
      [this](QWidget&) { Click("SpeedButton2"); },
      [](QWidget& modal) { QTest::keyClick(&modal, Qt::Key_Escape); },
      [](QWidget& modal) { modal.close(); }};
  Type(Field("MaskEdit1"), "first");
  Type(Field("MaskEdit2"), "second");
  for (const auto& leave : exits) {
    testing::OnModal([&](QWidget& modal) {
      EXPECT_EQ(modal.windowTitle(), "ZEM TALVOR :decrypt file - algorithm TRAP");
      EXPECT_EQ(Child<QToolButton>(dialog_, "SpeedButton1").text(), "Decrypt");
      EXPECT_EQ(Text("Label1"), "File  :/data/report.trp");
      EXPECT_EQ(Field("MaskEdit1").text(), "FIRST");
      EXPECT_EQ(Field("MaskEdit2").text(), "SECOND");
      leave(modal);
    });
    form_.ShowModal();
    EXPECT_FALSE(dialog_.isVisible());
  }
  EXPECT_TRUE(hand_over_.OperationPending);
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(AppPasswordDialog, TheKeyboardReachesAndPressesEveryControl) {
  EXPECT_EQ(Field("MaskEdit1").accessibleName(), "Password");
  EXPECT_EQ(Field("MaskEdit2").accessibleName(), "Re-enter password");
  EXPECT_EQ(Child<QLabel>(dialog_, "Label3").buddy(), &Field("MaskEdit2"));
  testing::OnModal([this](QWidget& modal) {
    ASSERT_EQ(modal.focusWidget(), &Field("MaskEdit1"));
    EXPECT_EQ(testing::TabOrder(modal, 6),
              (std::vector<std::string>{"MaskEdit2", "SpeedButton1", "SpeedButton2", "CheckBox1",
                                        "CheckBox2", "MaskEdit1"}));
    Child<QWidget>(modal, "SpeedButton1").setFocus();
    QTest::keyClick(modal.focusWidget(), Qt::Key_Return);
    EXPECT_EQ(dialogs_.messages, std::vector<std::string>{kPasswordEmptyText});
    Child<QWidget>(modal, "CheckBox2").setFocus();
    QTest::keyClick(modal.focusWidget(), Qt::Key_Space);
    EXPECT_EQ(Field("MaskEdit1").echoMode(), QLineEdit::Password);
    Child<QWidget>(modal, "SpeedButton2").setFocus();
    QTest::keyClick(modal.focusWidget(), Qt::Key_Space);
  });
  form_.ShowModal();
  EXPECT_FALSE(dialog_.isVisible());
  // The next showing starts in the first field again.
  testing::OnModal([this](QWidget& modal) {
    EXPECT_EQ(modal.focusWidget(), &Field("MaskEdit1"));
    modal.close();
  });
  form_.ShowModal();
}

TEST_F(AppPasswordDialog, MismatchEmptiesBothFieldsAndTheirEchoes) {
  testing::OnModal([this](QWidget&) {
    Type(Field("MaskEdit1"), "fourteen chars one");
    Type(Field("MaskEdit2"), "fourteen chars two");
    Click("SpeedButton1");
    EXPECT_TRUE(dialog_.isVisible());
    EXPECT_EQ(Field("MaskEdit1").text(), "");
    EXPECT_EQ(Text("Label4"), "0");
    EXPECT_EQ(Text("Label5"), "0");
    Click("SpeedButton2");
  });
  form_.ShowModal();
  EXPECT_EQ(dialogs_.messages, std::vector<std::string>{kPasswordMismatchText});
}

}  // namespace
}  // namespace talvor

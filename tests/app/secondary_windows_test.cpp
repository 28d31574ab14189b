// The help, about and name prompt windows, opened from the main window.
#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolButton>

#include "app/application.h"
#include "test_support.h"

namespace talvor {
namespace {

using testing::Child;

QString LabelText(const QWidget& window, const char* name) {
  return Child<QLabel>(window, name).text();
}

// QTest::qWaitForWindowActive takes a window for active while the window it
// belongs to is.
[[nodiscard]] bool WaitUntilActive(const QWidget& window) {
  return QTest::qWaitFor([&window] { return QApplication::activeWindow() == &window; });
}

void Click(QWidget& widget) {
  QTest::mouseClick(&widget, Qt::LeftButton, {}, widget.rect().center());
}

// The program started in a temporary folder holding inner/sub.
class AppSecondaryWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    ASSERT_TRUE(QDir(folder_.path()).mkpath("inner/sub"));
    ASSERT_TRUE(QDir::setCurrent(folder_.path()));
    app_ = std::make_unique<TalvorApplication>(dialogs_, QDir::currentPath().toStdString());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&app_->main_window()));
  }
  void TearDown() override {
    app_.reset();
    QDir::setCurrent(old_folder_);
  }

  void ClickButton(const char* name) { Click(Child<QToolButton>(app_->main_window(), name)); }
  void Trigger(const char* entry) { Child<QAction>(app_->main_window(), entry).trigger(); }

  QTemporaryDir folder_;
  QString old_folder_ = QDir::currentPath();
  testing::RecordingDialogs dialogs_;
  std::unique_ptr<TalvorApplication> app_;
};

QLabel& TopicLabel(const QWidget& window, const QString& text) {
  for (QLabel* label : window.findChildren<QLabel*>()) {
    if (label->text() == text) return *label;
  }
  throw std::runtime_error("no label " + text.toStdString());
}

TEST_F(AppSecondaryWindow, HelpClearsItsTextOnCloseButKeepsTheTitle) {
  HelpWindowWidget& help = app_->help_window();
  const QTextEdit& text = Child<QTextEdit>(help, "RichEdit1");
  ClickButton("help");
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&help));
  EXPECT_EQ(LabelText(help, "Label1"), "Help");
  EXPECT_EQ(text.toPlainText().toStdString(), HelpIntroduction());

  Click(TopicLabel(help, "Safety"));
  EXPECT_EQ(LabelText(help, "Label1"), "Safety");
  EXPECT_EQ(text.document()->blockCount(), 11);

  Click(Child<QPushButton>(help, "CloseButton"));
  EXPECT_FALSE(help.isVisible());
  Trigger("help");
  EXPECT_TRUE(help.isVisible());
  EXPECT_TRUE(text.toPlainText().isEmpty());
  EXPECT_EQ(LabelText(help, "Label1"), "Safety");

  Click(TopicLabel(help, "Encrypt/decrypt"));
  EXPECT_EQ(LabelText(help, "Label1"), "Encrypt/Decrypt");
  EXPECT_TRUE(dialogs_.errors.empty());
}

struct TopicCase {
  const char* label;
  const char* text;
  const char* title;
  int paragraphs;
};

class AppHelpTopic : public ::testing::TestWithParam<TopicCase> {
 protected:
  AppHelpTopic() : window_(form_, dialogs_) {
    form_.AttachView(window_);
    form_.Create();
    window_.Show();
  }

  testing::RecordingDialogs dialogs_;
  HelpWindow form_;
  HelpWindowWidget window_;
};

TEST_P(AppHelpTopic, ClickOrSpaceShowsItsTopic) {
  QLabel& label = Child<QLabel>(window_, GetParam().label);
  EXPECT_EQ(label.text(), GetParam().text);
  EXPECT_EQ(label.cursor().shape(), Qt::PointingHandCursor);
  Click(label);
  EXPECT_EQ(LabelText(window_, "Label1"), GetParam().title);
  EXPECT_EQ(Child<QTextEdit>(window_, "RichEdit1").document()->blockCount(), GetParam().paragraphs);
  // Space does it too, and the text is named after the title.
  form_.Create();
  QTest::keyClick(&label, Qt::Key_Space);
  EXPECT_EQ(LabelText(window_, "Label1"), GetParam().title);
  EXPECT_EQ(Child<QTextEdit>(window_, "RichEdit1").accessibleName(), GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(
    Labels, AppHelpTopic,
    ::testing::Values(
        TopicCase{"Label8", "Encrypt/decrypt", "Encrypt/Decrypt", 7},
        TopicCase{"Label9", "Compression/Decompression", "Compression/Decompression", 4},
        TopicCase{"Label11", "Random Protection of File", "Random Protection of File.", 3},
        TopicCase{"Label10", "Safety", "Safety", 11}, TopicCase{"Label12", "TRAP", "TRAP", 5},
        TopicCase{"Label13", "ORM", "ORM", 4}, TopicCase{"Label14", "BLOWFISH", "BLOWFISH", 3},
        TopicCase{"Label15", "RIJNDAEL", "RIJNDAEL", 5}),
    [](const auto& param_info) { return std::string(param_info.param.label); });

// The read-only text would otherwise take the arrow cursor, and Escape would
// close the window without its text being cleared.
TEST_F(AppSecondaryWindow, HelpKeepsItsCursorAndIgnoresEscape) {
  HelpWindowWidget& help = app_->help_window();
  ClickButton("help");
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&help));
  QWidget& viewport = *Child<QTextEdit>(help, "RichEdit1").viewport();
  QTest::mouseMove(&viewport, viewport.rect().center());
  EXPECT_EQ(viewport.cursor().shape(), Qt::WhatsThisCursor);
  QTest::keyClick(&help, Qt::Key_Escape);
  EXPECT_TRUE(help.isVisible());
}

TEST_F(AppSecondaryWindow, AboutShowsTheCreditsEachTimeItOpens) {
  AboutDialog& about = app_->about_dialog();
  EXPECT_EQ(LabelText(about, "Label2"), "");
  for (int opening = 1; opening <= 2; ++opening) {
    SCOPED_TRACE(opening);
    // The menu is used in the main window (the offscreen platform does not
    // move the focus away from a hidden window by itself).
    app_->main_window().activateWindow();
    ASSERT_TRUE(WaitUntilActive(app_->main_window()));
    Trigger("about");
    ASSERT_TRUE(WaitUntilActive(about));
    EXPECT_EQ(about.windowTitle(), "ZEM TALVOR");
    EXPECT_EQ(LabelText(about, "Label1"), "ZEM TALVOR v.2.0");
    EXPECT_EQ(LabelText(about, "Label2").toStdString(), AboutCreditLine1());
    EXPECT_EQ(LabelText(about, "Label3").toStdString(), AboutCreditLine2());
    EXPECT_FALSE(about.close());  // the window manager cannot close it
    Click(Child<QToolButton>(about, "CloseButton"));
    EXPECT_FALSE(about.isVisible());
  }
  EXPECT_TRUE(dialogs_.errors.empty());
}

struct NameCase {
  const char* test_name;
  const char* typed;
  const char* button;
  bool stays_open;
  std::vector<std::string> errors;
  bool created;  // inner/fresh
};

class AppNamePrompt : public AppSecondaryWindow, public ::testing::WithParamInterface<NameCase> {};

// The prompt, opened on the folder "inner".
TEST_P(AppNamePrompt, CreatesTheFolderInTheShownFolder) {
  app_->main_window_logic().OnFolderChosen(folder_.filePath("inner").toStdString());
  NamePromptDialog& prompt = app_->name_prompt();
  ClickButton("new-folder");
  ASSERT_TRUE(WaitUntilActive(prompt));
  EXPECT_EQ(prompt.windowTitle(), "ZEM Talvor - create new folder.");
  EXPECT_EQ(LabelText(prompt, "Label1"), "New folder name: ");

  testing::Type(Child<QLineEdit>(prompt, "Edit1"), GetParam().typed);
  Click(Child<QToolButton>(prompt, GetParam().button));
  EXPECT_EQ(prompt.isVisible(), GetParam().stays_open);
  EXPECT_EQ(dialogs_.errors, GetParam().errors);
  EXPECT_EQ(QDir(folder_.filePath("inner")).exists("fresh"), GetParam().created);
  EXPECT_FALSE(QDir(folder_.path()).exists("fresh"));
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, AppNamePrompt,
    ::testing::Values(
        NameCase{"OkWithoutAName", "", "OkButton", true, {}, false},
        NameCase{"OkWithANewName", "fresh", "OkButton", false, {}, true},
        NameCase{"OkWithAnExistingName", "sub", "OkButton", true, {"I/O error 183: sub."}, false},
        NameCase{"Cancel", "fresh", "CancelButton", false, {}, false}),
    [](const auto& param_info) { return std::string(param_info.param.test_name); });

struct KeyboardCase {
  const char* test_name;
  const char* menu_entry;
  QWidget& (*window)(TalvorApplication&);
  std::vector<std::string> tab_order;  // from the first field, back to it
  const char* field;                   // named after its label, or nullptr
  const char* name;
  const char* close_button;
  Qt::Key key;
};

class AppKeyboard : public AppSecondaryWindow,
                    public ::testing::WithParamInterface<KeyboardCase> {};

TEST_P(AppKeyboard, TabReachesEveryControlAndAKeyPressesClose) {
  const KeyboardCase& c = GetParam();
  QWidget& window = c.window(*app_);
  app_->main_window().activateWindow();
  ASSERT_TRUE(WaitUntilActive(app_->main_window()));
  Trigger(c.menu_entry);
  ASSERT_TRUE(WaitUntilActive(window));
  ASSERT_NE(window.focusWidget(), nullptr);
  const std::string first = window.focusWidget()->objectName().toStdString();
  EXPECT_EQ(first, c.tab_order.back());
  EXPECT_EQ(testing::TabOrder(window, static_cast<int>(c.tab_order.size())), c.tab_order);
  if (c.field != nullptr) {
    EXPECT_EQ(Child<QWidget>(window, c.field).accessibleName(), c.name);
  }
  Child<QWidget>(window, c.close_button).setFocus();
  QTest::keyClick(window.focusWidget(), c.key);
  EXPECT_FALSE(window.isVisible());
  // The next showing starts at the first control again.
  app_->main_window().activateWindow();
  ASSERT_TRUE(WaitUntilActive(app_->main_window()));
  Trigger(c.menu_entry);
  ASSERT_TRUE(WaitUntilActive(window));
  EXPECT_EQ(window.focusWidget()->objectName().toStdString(), first);
  EXPECT_TRUE(dialogs_.errors.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Windows, AppKeyboard,
    ::testing::Values(
        KeyboardCase{"NamePrompt",
                     "new-folder",
                     [](TalvorApplication& app) -> QWidget& { return app.name_prompt(); },
                     {"OkButton", "CancelButton", "Edit1"},
                     "Edit1",
                     "New folder name",
                     "CancelButton",
                     Qt::Key_Space},
        KeyboardCase{"About",
                     "about",
                     [](TalvorApplication& app) -> QWidget& { return app.about_dialog(); },
                     {"CloseButton"},
                     nullptr,
                     nullptr,
                     "CloseButton",
                     Qt::Key_Return},
        KeyboardCase{"Help",
                     "help",
                     [](TalvorApplication& app) -> QWidget& { return app.help_window(); },
                     {"Label8", "Label9", "Label11", "Label10", "Label12", "Label13", "Label14",
                      "Label15", "CloseButton", "RichEdit1"},
                     "RichEdit1",
                     "Help",
                     "CloseButton",
                     Qt::Key_Space}),
    [](const auto& param_info) { return std::string(param_info.param.test_name); });

TEST_F(AppSecondaryWindow, NamePromptClosesOnlyThroughItsButtonsAndKeepsTheName) {
  NamePromptDialog& prompt = app_->name_prompt();
  Trigger("new-folder");
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&prompt));
  EXPECT_FALSE(prompt.close());
  QTest::keyClick(&prompt, Qt::Key_Escape);
  EXPECT_TRUE(prompt.isVisible());

  testing::Type(Child<QLineEdit>(prompt, "Edit1"), "draft");
  Click(Child<QToolButton>(prompt, "CancelButton"));
  ClickButton("new-folder");
  EXPECT_EQ(Child<QLineEdit>(prompt, "Edit1").text(), "draft");
}

}  // namespace
}  // namespace talvor

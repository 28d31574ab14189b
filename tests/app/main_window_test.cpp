#include "app/main_window_widget.h"

#include <QAction>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProxyStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include <map>
#include <optional>

#include "app/application.h"
#include "app/glyphs.h"
#include "test_support.h"

namespace talvor {
namespace {

using testing::Child;

// The program started in a temporary folder holding notes.txt and inner/deep.txt.
class AppMainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    ASSERT_TRUE(QDir(folder_.path()).mkdir("inner"));
    Write("notes.txt", "The quick brown fox\n");
    Write("inner/deep.txt", "deep");
    ASSERT_TRUE(QDir::setCurrent(folder_.path()));
    app_ = std::make_unique<TalvorApplication>(dialogs_, QDir::currentPath().toStdString());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window()));
  }
  void TearDown() override {
    app_.reset();
    QDir::setCurrent(old_folder_);
  }

  void Write(const char* name, const QByteArray& data) const {
    QFile file(folder_.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
  }
  [[nodiscard]] QByteArray Read(const char* name) const {
    QFile file(folder_.filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
  }

  [[nodiscard]] MainWindowWidget& window() const { return app_->main_window(); }
  [[nodiscard]] QListWidget& files() const { return Child<QListWidget>(window(), "FileListBox1"); }
  [[nodiscard]] QStringList FileNames() const {
    QStringList names;
    for (int i = 0; i < files().count(); ++i) names << files().item(i)->text();
    return names;
  }
  void ClickFile(const QString& name) const {
    const QList<QListWidgetItem*> found = files().findItems(name, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << name.toStdString();
    QTest::mouseClick(files().viewport(), Qt::LeftButton, {},
                      files().visualItemRect(found.front()).center());
  }
  // Clicks a toolbar button and waits until the command it starts has
  // ended (it runs beside the window's thread).
  void ClickButton(const char* name) const {
    QTest::mouseClick(&Child<QToolButton>(window(), name), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !app_->worker().busy(); }, 30000));
  }

  // Runs a cipher command on `file` through the password window.
  void RunCipher(const char* button, const QString& file, const char* first, const char* second) {
    ClickFile(file);
    testing::OnModal([&](QWidget& modal) {
      testing::Type(Child<QLineEdit>(modal, "Passphrase"), first);
      testing::Type(Child<QLineEdit>(modal, "Repeat"), second);
      QTest::mouseClick(&Child<QToolButton>(modal, "RunButton"), Qt::LeftButton);
      EXPECT_TRUE(QTest::qWaitFor([&] { return !modal.isVisible(); }, 30000));
    });
    ClickButton(button);
  }

  QTemporaryDir folder_;
  QString old_folder_ = QDir::currentPath();
  testing::RecordingDialogs dialogs_;
  std::unique_ptr<TalvorApplication> app_;
};

TEST_F(AppMainWindow, AFileDroppedOnTheWindowIsShownAndSelected) {
  ASSERT_TRUE(QDir(folder_.path()).mkpath("inner"));
  QFile file(folder_.filePath("inner/dropped.txt"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(file.fileName())});
  const QPoint at = window().rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window(), &drop);
  EXPECT_EQ(QString::fromStdString(app_->main_window_logic().shown_folder()),
            QDir(folder_.filePath("inner")).canonicalPath());
  EXPECT_EQ(window().FocusedSelectedFile(), std::optional<std::string>("dropped.txt"));
  // Something that is no local file is not taken.
  QMimeData text;
  text.setText(QStringLiteral("just text"));
  QDragEnterEvent refused(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
  refused.setAccepted(false);
  QApplication::sendEvent(&window(), &refused);
  EXPECT_FALSE(refused.isAccepted());
}

TEST_F(AppMainWindow, StartsInTheCurrentFolder) {
  EXPECT_EQ(window().windowTitle(), "ZEM Talvor v. 2.0");
  EXPECT_EQ(window().centralWidget()->size(), QSize(782, 496));
  EXPECT_EQ(window().minimumSize(), window().maximumSize());
  EXPECT_EQ(FileNames(), QStringList{"notes.txt"});
  files().setCurrentRow(0, QItemSelectionModel::NoUpdate);  // focus alone selects nothing
  EXPECT_FALSE(window().FocusedSelectedFile().has_value());
  EXPECT_TRUE(Child<QLabel>(window(), "Label3").text().startsWith("Disk size: "));
  EXPECT_TRUE(Child<QLabel>(window(), "Label4").text().startsWith("Computer name: "));
  EXPECT_TRUE(dialogs_.errors.empty());
}

TEST_F(AppMainWindow, ToolbarFollowsItsTable) {
  for (const WindowCommandRow* row : ToolbarRows()) {
    SCOPED_TRACE(row->id);
    const auto& button = Child<QToolButton>(window(), row->id);
    EXPECT_EQ(button.geometry(), QRect(row->toolbar.left, 0, row->toolbar.width, 25));
    EXPECT_EQ(button.toolTip().toStdString(), row->toolbar.hint);  // blanks and all
    EXPECT_EQ(button.accessibleName().toStdString(), row->toolbar.hint);
    EXPECT_EQ(button.isEnabled(), IsAvailable(*row));
    EXPECT_FALSE(button.icon().isNull());
    // Sharp at twice the size too (a 200 % display scale).
    EXPECT_EQ(button.icon().actualSize(QSize(36, 36)), QSize(36, 36));
  }
}

TEST(AppIcons, TheProgramsOwnIconsDraw) {
  // Without a theme every command shows the program's own icon.
  for (const WindowCommandRow& row : WindowCommands()) {
    if (row.command == WindowCommand::kSeparator) continue;
    const std::string c = row.id;
    const QImage image = OwnCommandIcon(row).pixmap(36, 36).toImage();
    ASSERT_EQ(image.size(), QSize(36, 36)) << c;
    int painted = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) painted += qAlpha(image.pixel(x, y)) > 0;
    }
    EXPECT_GT(painted, 36 * 36 / 2) << "command " << c;
  }
  EXPECT_FALSE(FolderIcon(true).pixmap(16, 16).isNull());
}

TEST_F(AppMainWindow, MenusHoldTheirEntriesInOrder) {
  std::vector<std::string> seen;
  for (QAction* title : window().menuBar()->actions()) {
    seen.push_back("[" + title->text().toStdString() + "]");
    for (const QAction* entry : title->menu()->actions()) {
      seen.push_back(entry->objectName().toStdString() + (entry->isEnabled() ? "" : " (off)"));
    }
  }
  std::vector<std::string> expected;
  for (const Menu menu : {Menu::kFiles, Menu::kCommands, Menu::kHelp}) {
    expected.push_back(std::string("[") + MenuTitle(menu) + "]");
    for (const WindowCommandRow& entry : WindowCommands()) {
      if (entry.menu == menu) {
        expected.push_back(entry.id + std::string(IsAvailable(entry) ? "" : " (off)"));
      }
    }
  }
  EXPECT_EQ(seen, expected);
}

TEST_F(AppMainWindow, KeysRunTheirMenuEntries) {
  const std::map<std::string, std::string> keys = {{"help", "F1"},
                                                   {"rename", "F2"},
                                                   {"trash", "Del"},
                                                   {"erase", "Shift+Del"},
                                                   {"new-folder", "Ctrl+Shift+N"}};
  int with_keys = 0;
  for (QAction* title : window().menuBar()->actions()) {
    for (const QAction* entry : title->menu()->actions()) {
      const auto key = keys.find(entry->objectName().toStdString());
      if (key == keys.end()) {
        EXPECT_TRUE(entry->shortcut().isEmpty()) << entry->objectName().toStdString();
        continue;
      }
      ++with_keys;
      EXPECT_EQ(entry->shortcut(), QKeySequence(QString::fromStdString(key->second)));
    }
  }
  EXPECT_EQ(with_keys, 5);
  for (const char* name : {"DriveComboBox1", "DirectoryListBox1", "FileListBox1"}) {
    EXPECT_FALSE(Child<QWidget>(window(), name).accessibleName().isEmpty()) << name;
  }
}

TEST_F(AppMainWindow, TabVisitsThePanelThenTheBitButtons) {
  QWidget* widget = &Child<QWidget>(window(), "DriveComboBox1");
  for (const char* next : {"DirectoryListBox1", "FileListBox1", "decrypt-orm", "encrypt-blowfish",
                           "decrypt-blowfish", "properties", "DriveComboBox1"}) {
    do {
      widget = widget->nextInFocusChain();
    } while (!(widget->focusPolicy() & Qt::TabFocus) || widget->objectName().isEmpty());
    EXPECT_EQ(widget->objectName().toStdString(), next);
  }
}

struct TriggerCase {
  const char* test_name;
  const char* name;  // a toolbar button, or a menu entry when `menu`
  bool menu;
  const char* selected;  // the file clicked first, or nullptr
  std::vector<std::string> messages;
};

class AppCommand : public AppMainWindow, public ::testing::WithParamInterface<TriggerCase> {};

TEST_P(AppCommand, ChecksTheSelectionFirst) {
  if (GetParam().selected != nullptr) ClickFile(GetParam().selected);
  if (GetParam().menu) {
    Child<QAction>(window(), GetParam().name).trigger();
  } else {
    ClickButton(GetParam().name);
  }
  EXPECT_EQ(dialogs_.messages, GetParam().messages);
  EXPECT_TRUE(dialogs_.errors.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Triggers, AppCommand,
    ::testing::Values(
        TriggerCase{"DecryptButton", "decrypt-trap", false, nullptr, {"No files selected!"}},
        TriggerCase{"EncryptButton", "encrypt-trap", false, nullptr, {"No files selected!"}},
        TriggerCase{"DecryptMenu", "decrypt-trap", true, nullptr, {"No files selected!"}},
        TriggerCase{"DecryptButtonOnText",
                    "decrypt-trap",
                    false,
                    "notes.txt",
                    {"File extension must be *.trp"}},
        TriggerCase{"DecryptMenuOnText",
                    "decrypt-trap",
                    true,
                    "notes.txt",
                    {"File extension must be *.trp"}},
        TriggerCase{"EraseButton", "erase", false, nullptr, {"No files selected!"}},
        TriggerCase{"TrashMenu", "trash", true, nullptr, {"No files selected!"}},
        TriggerCase{"PropertiesButton", "properties", false, nullptr, {"No files selected!"}},
        TriggerCase{"CopyMenu", "copy", true, nullptr, {"No files selected!"}}),
    [](const auto& param_info) { return std::string(param_info.param.test_name); });

TEST_F(AppMainWindow, PacksAndUnpacksAZipArchive) {
  ClickFile("notes.txt");
  ClickButton("create-zip");  // Create archive *.zip
  EXPECT_EQ(FileNames(), (QStringList{"notes.txt", "notes.zip"}));
  EXPECT_TRUE(files().selectedItems().isEmpty());
  Write("notes.txt", "changed");
  ClickFile("notes.zip");
  ClickButton("extract-zip");  // Extract archive *.zip
  EXPECT_EQ(Read("notes.txt"), "The quick brown fox\n");
  EXPECT_TRUE(dialogs_.errors.empty());
  // The commands are enabled again once the engine is done.
  EXPECT_TRUE(Child<QToolButton>(window(), "create-zip").isEnabled());
}

TEST_F(AppMainWindow, EncryptsAndDecryptsThroughThePasswordWindow) {
  RunCipher("encrypt-trap", "notes.txt", "correct horse battery", "correct horse battery");
  EXPECT_EQ(FileNames(), (QStringList{"notes.trp", "notes.txt"}));
  EXPECT_TRUE(files().selectedItems().isEmpty());
  EXPECT_NE(Read("notes.trp").mid(5), Read("notes.txt"));

  // Typed in capitals, the same pass phrase.
  ASSERT_TRUE(QFile::remove(folder_.filePath("notes.txt")));
  RunCipher("decrypt-trap", "notes.trp", "CORRECT HORSE BATTERY", "CORRECT horse BATTERY");
  EXPECT_EQ(Read("notes.txt"), "The quick brown fox\n");
  EXPECT_TRUE(dialogs_.messages.empty());
  EXPECT_TRUE(dialogs_.errors.empty());
}

TEST_F(AppMainWindow, ActivatingAFolderShowsIt) {
  auto& folders = Child<QListWidget>(window(), "DirectoryListBox1");
  const QList<QListWidgetItem*> inner = folders.findItems("inner", Qt::MatchExactly);
  ASSERT_EQ(inner.size(), 1);
  folders.setCurrentItem(inner.front());
  QTest::keyClick(&folders, Qt::Key_Return);
  EXPECT_EQ(FileNames(), QStringList{"deep.txt"});
  EXPECT_EQ(QDir(QString::fromStdString(app_->main_window_logic().shown_folder())).dirName(),
            "inner");
  ASSERT_NE(folders.currentItem(), nullptr);
  EXPECT_EQ(folders.currentItem()->text(), "inner");
  EXPECT_GE(Child<QComboBox>(window(), "DriveComboBox1").currentIndex(), 0);
}

// Records the files the desktop is asked to open.
class RecordingShell final : public Shell {
 public:
  void Open(const std::string& path, const std::string& /*folder*/) override {
    opened.push_back(path);
  }
  void OpenAddress(const std::string& /*address*/) override {}
  void ShowProperties(const std::string& /*path*/) override {}

  std::vector<std::string> opened;
};

// Activates items on a single click, as KDE does by default.
class SingleClickStyle final : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* data) const override {
    if (hint == SH_ItemView_ActivateItemOnSingleClick) return 1;
    return QProxyStyle::styleHint(hint, option, widget, data);
  }
};

enum class Gesture { kClick, kDoubleClick, kRightDoubleClick, kReturn, kEnter };

struct ActivationCase {
  const char* test_name;
  const char* list;
  const char* item;
  Gesture gesture;
  bool runs;  // Open for the file list, a change of folder for the folder list
};

// The window over a folder holding notes.txt and inner/, its lists
// activating items on a single click.
class AppListActivation : public ::testing::TestWithParam<ActivationCase> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    ASSERT_TRUE(QDir(folder_.path()).mkdir("inner"));
    QFile notes(folder_.filePath("notes.txt"));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.close();
    ASSERT_TRUE(QDir::setCurrent(folder_.path()));
    form_.emplace(dialogs_, fs_, system_, random_, clock_, shell_, worker_);
    window_.emplace(*form_, dialogs_);
    form_->AttachView(*window_);
    form_->Create(QDir::currentPath().toStdString());
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&*window_));
    for (const char* name : {"FileListBox1", "DirectoryListBox1"}) {
      Child<QListWidget>(*window_, name).setStyle(&style_);
    }
  }
  void TearDown() override { QDir::setCurrent(old_folder_); }

  QTemporaryDir folder_;
  QString old_folder_ = QDir::currentPath();
  SingleClickStyle style_;
  testing::RecordingDialogs dialogs_;
  PosixFileSystem fs_;
  PosixSystemInfo system_;
  RandomGenerator random_;
  SystemClock clock_;
  RecordingShell shell_;
  InlineWorker worker_;
  std::optional<MainWindow> form_;
  std::optional<MainWindowWidget> window_;
};

TEST_P(AppListActivation, OnlyADoubleClickOrEnterRunsTheCommand) {
  const ActivationCase& c = GetParam();
  auto& list = Child<QListWidget>(*window_, c.list);
  const QList<QListWidgetItem*> found = list.findItems(c.item, Qt::MatchExactly);
  ASSERT_EQ(found.size(), 1);
  QWidget* viewport = list.viewport();
  const QPoint at = list.visualItemRect(found.front()).center();
  const std::string start = form_->shown_folder();
  switch (c.gesture) {
    case Gesture::kClick:
      QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
      break;
    case Gesture::kDoubleClick:
    case Gesture::kRightDoubleClick: {
      const Qt::MouseButton button =
          c.gesture == Gesture::kDoubleClick ? Qt::LeftButton : Qt::RightButton;
      QTest::mouseClick(viewport, button, {}, at);
      QTest::mouseDClick(viewport, button, {}, at);
      QTest::mouseRelease(viewport, button, {}, at);
      break;
    }
    case Gesture::kReturn:
    case Gesture::kEnter:
      list.setCurrentItem(found.front());
      QTest::keyClick(&list, c.gesture == Gesture::kReturn ? Qt::Key_Return : Qt::Key_Enter,
                      c.gesture == Gesture::kReturn ? Qt::NoModifier : Qt::KeypadModifier);
      break;
  }
  const bool files = std::string(c.list) == "FileListBox1";
  const std::string notes = folder_.filePath("notes.txt").toStdString();
  EXPECT_EQ(shell_.opened, c.runs && files ? std::vector{notes} : std::vector<std::string>{});
  EXPECT_EQ(QDir(QString::fromStdString(form_->shown_folder())).dirName() == "inner",
            c.runs && !files);
  // Shown or not, the item is the selected one.
  ASSERT_NE(list.currentItem(), nullptr);
  EXPECT_EQ(list.currentItem()->text(), c.item);
  EXPECT_TRUE(list.currentItem()->isSelected());
  EXPECT_TRUE(dialogs_.errors.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Gestures, AppListActivation,
    ::testing::Values(
        ActivationCase{"FileClick", "FileListBox1", "notes.txt", Gesture::kClick, false},
        ActivationCase{"FileDoubleClick", "FileListBox1", "notes.txt", Gesture::kDoubleClick, true},
        ActivationCase{"FileRightDoubleClick", "FileListBox1", "notes.txt",
                       Gesture::kRightDoubleClick, false},
        ActivationCase{"FileReturn", "FileListBox1", "notes.txt", Gesture::kReturn, true},
        ActivationCase{"FileEnter", "FileListBox1", "notes.txt", Gesture::kEnter, true},
        ActivationCase{"FolderClick", "DirectoryListBox1", "inner", Gesture::kClick, false},
        ActivationCase{"FolderDoubleClick", "DirectoryListBox1", "inner", Gesture::kDoubleClick,
                       true},
        ActivationCase{"FolderReturn", "DirectoryListBox1", "inner", Gesture::kReturn, true}),
    [](const auto& param_info) { return std::string(param_info.param.test_name); });

TEST_F(AppMainWindow, BusyCursorIsBalancedAndQuitCloses) {
  window().SetBusyCursor(true);
  window().SetBusyCursor(true);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  window().SetBusyCursor(false);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  ClickButton("quit");
  EXPECT_FALSE(window().isVisible());
}

}  // namespace
}  // namespace talvor

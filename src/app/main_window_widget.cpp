#include "app/main_window_widget.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QUrl>
#include <algorithm>
#include <array>
#include <functional>
#include <utility>

#include "app/glyphs.h"

namespace talvor {

namespace {

constexpr int kClientWidth = 782;
constexpr int kClientHeight = 496;
constexpr int kToolbarHeight = 25;
constexpr int kFolderIndent = 12;

constexpr int kPathRole = Qt::UserRole;
constexpr int kDepthRole = Qt::UserRole + 1;

const QColor kPurple(0x80, 0x00, 0x80);

QString ToQt(const std::string& text) {
  return QString::fromStdString(text);
}

QFont ArialFont(int pixels) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(pixels);
  return font;
}

// Draws each folder indented by its depth.
class FolderDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem indented = option;
    indented.rect.setLeft(option.rect.left() + Indent(index));
    QStyledItemDelegate::paint(painter, indented, index);
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return QStyledItemDelegate::sizeHint(option, index) + QSize(Indent(index), 0);
  }

 private:
  static int Indent(const QModelIndex& index) {
    return index.data(kDepthRole).toInt() * kFolderIndent;
  }
};

// A list that runs its command on a double click with the left button or on
// Enter or Return; a single click only selects. QAbstractItemView::activated
// would come with every click on a desktop set to single-click activation (a
// style hint).
class CommandList final : public QListWidget {
 public:
  CommandList(QWidget* parent, std::function<void(const QListWidgetItem&)> command)
      : QListWidget(parent), command_(std::move(command)) {}

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override {
    QListWidget::mouseDoubleClickEvent(event);
    const QListWidgetItem* item = itemAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && item != nullptr && item == currentItem()) {
      command_(*item);
    }
  }

  void keyPressEvent(QKeyEvent* event) override {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && currentItem() != nullptr) {
      command_(*currentItem());
      return;
    }
    QListWidget::keyPressEvent(event);
  }

 private:
  std::function<void(const QListWidgetItem&)> command_;
};

}  // namespace

MainWindowWidget::MainWindowWidget(MainWindow& window, Dialogs& dialogs, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      window_(window),
      dialogs_(dialogs) {
  setFont(ArialFont(12));
  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("ClientArea"));
  client->setFixedSize(kClientWidth, kClientHeight);
  QPalette palette = client->palette();
  palette.setColor(QPalette::Window, Qt::white);
  client->setPalette(palette);
  client->setAutoFillBackground(true);
  setCentralWidget(client);
  layout()->setSizeConstraint(QLayout::SetFixedSize);

  setAcceptDrops(true);
  BuildMenus();
  BuildPanel(client);
  BuildToolbar(client);
}

MainWindowWidget::~MainWindowWidget() {
  SetBusyCursor(false);
}

void MainWindowWidget::Run(CommandClick click) {
  RunGuarded(dialogs_, [this, click] { window_.RunCommand(click); });
}

void MainWindowWidget::Run(const std::function<void()>& handler) {
  RunGuarded(dialogs_, handler);
}

void MainWindowWidget::BuildMenus() {
  constexpr std::array<Menu, 3> kMenus = {Menu::kFiles, Menu::kCommands, Menu::kHelp};
  std::array<QMenu*, kMenus.size()> menus{};
  for (std::size_t i = 0; i < kMenus.size(); ++i) {
    menus[i] = menuBar()->addMenu(QString::fromUtf8(MenuTitle(kMenus[i])));
  }
  for (const WindowCommandRow& row : WindowCommands()) {
    QMenu* menu = menus[static_cast<std::size_t>(row.menu)];
    QAction* action =
        menu->addAction(CommandIcon(row), QString::fromUtf8(row.menu_caption).replace('&', "&&"));
    action->setObjectName(QString::fromLatin1(row.id));
    if (*row.shortcut != '\0') {
      action->setShortcut(QKeySequence(QString::fromLatin1(row.shortcut)));
    }
    action->setEnabled(IsAvailable(row));
    actions_.emplace_back(action, &row);
    const CommandClick click{row.command, Route::kMenu};
    connect(action, &QAction::triggered, this, [this, click] { Run(click); });
  }
}

void MainWindowWidget::BuildToolbar(QWidget* client) {
  QWidget* previous = files_;
  for (const WindowCommandRow* row : ToolbarRows()) {
    const ToolbarPlace& place = row->toolbar;
    auto* button = new QToolButton(client);
    button->setObjectName(QString::fromLatin1(row->id));
    button->setGeometry(place.left, 0, place.width, kToolbarHeight);
    button->setIcon(CommandIcon(*row));
    button->setIconSize(QSize(18, 18));
    button->setToolTip(QString::fromUtf8(place.hint));
    button->setAccessibleName(QString::fromUtf8(place.hint));
    button->setAutoRaise(true);
    button->setEnabled(IsAvailable(*row));
    buttons_.emplace_back(button, row);
    button->setFocusPolicy(place.takes_focus ? Qt::StrongFocus : Qt::NoFocus);
    if (place.takes_focus) {
      setTabOrder(previous, button);
      previous = button;
    }
    const CommandClick click{row->command, Route::kToolbar};
    connect(button, &QToolButton::clicked, this, [this, click] { Run(click); });
  }
}

void MainWindowWidget::BuildPanel(QWidget* client) {
  drives_ = new QComboBox(client);
  drives_->setObjectName(QStringLiteral("DriveComboBox1"));
  drives_->setAccessibleName(QStringLiteral("Drives"));
  // Down to the folder list at most.
  drives_->setGeometry(6, 32, 185, std::min(24, drives_->sizeHint().height()));
  connect(drives_, &QComboBox::activated, this, &MainWindowWidget::DriveActivated);

  folders_ =
      new CommandList(client, [this](const QListWidgetItem& item) { FolderActivated(item); });
  folders_->setObjectName(QStringLiteral("DirectoryListBox1"));
  folders_->setAccessibleName(QStringLiteral("Folders"));
  folders_->setGeometry(6, 56, 185, 401);
  folders_->setItemDelegate(new FolderDelegate(folders_));
  folders_->setIconSize(QSize(16, 16));

  files_ = new CommandList(
      client, [this](const QListWidgetItem&) { Run([this] { window_.OnFileActivated(); }); });
  files_->setObjectName(QStringLiteral("FileListBox1"));
  files_->setAccessibleName(QStringLiteral("Files"));
  files_->setGeometry(192, 32, 588, 425);
  files_->setSelectionMode(QAbstractItemView::SingleSelection);
  connect(files_, &QListWidget::clicked, this,
          [this] { Run([this] { window_.OnFileClicked(); }); });

  status1_ = new QLabel(client);
  status1_->setObjectName(QStringLiteral("Label3"));
  status1_->setGeometry(7, 460, 770, 16);
  QPalette palette = status1_->palette();
  palette.setColor(QPalette::WindowText, kPurple);
  status1_->setPalette(palette);

  status2_ = new QLabel(client);
  status2_->setObjectName(QStringLiteral("Label4"));
  status2_->setGeometry(7, 478, 770, 16);
  palette.setColor(QPalette::WindowText, Qt::blue);
  status2_->setPalette(palette);

  setTabOrder(drives_, folders_);
  setTabOrder(folders_, files_);
  drives_->setFocus();
}

void MainWindowWidget::FolderActivated(const QListWidgetItem& item) {
  // The handler rebuilds the list, so the path is copied first.
  const std::string path = item.data(kPathRole).toString().toStdString();
  Run([this, &path] { window_.OnFolderChosen(path); });
}

void MainWindowWidget::DriveActivated(int index) {
  if (index < 0) return;
  const std::string root = drives_->itemData(index).toString().toStdString();
  Run([this, &root] { window_.OnDriveChosen(root); });
}

void MainWindowWidget::SetCaption(const std::string& text) {
  setWindowTitle(ToQt(text));
}

void MainWindowWidget::SetStatusLines(const std::string& disk, const std::string& computer) {
  status1_->setText(ToQt(disk));
  status2_->setText(ToQt(computer));
}

void MainWindowWidget::ShowVolumes(const std::vector<Volume>& volumes,
                                   const std::string& current_root) {
  const QSignalBlocker blocker(drives_);
  drives_->clear();
  for (const Volume& volume : volumes) drives_->addItem(ToQt(volume.label), ToQt(volume.root));
  drives_->setCurrentIndex(drives_->findData(ToQt(current_root)));
}

void MainWindowWidget::ShowFolders(const std::vector<FolderItem>& items) {
  std::size_t chain_end = 0;  // the open folders: the root down to the shown one
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].shown) chain_end = i;
  }
  const QIcon open = FolderIcon(true);
  const QIcon closed = FolderIcon(false);
  folders_->clear();
  QListWidgetItem* shown = nullptr;
  for (std::size_t i = 0; i < items.size(); ++i) {
    auto* row = new QListWidgetItem(i <= chain_end ? open : closed, ToQt(items[i].label), folders_);
    row->setData(kPathRole, ToQt(items[i].path));
    row->setData(kDepthRole, items[i].depth);
    row->setToolTip(ToQt(items[i].path));
    if (items[i].shown) shown = row;
  }
  folders_->setCurrentItem(shown);
}

void MainWindowWidget::ShowFiles(const std::vector<std::string>& names) {
  files_->clear();
  for (const std::string& name : names) files_->addItem(ToQt(name));
  files_->setCurrentItem(nullptr);
  files_->clearSelection();
}

void MainWindowWidget::SelectFile(const std::string& name) {
  const QList<QListWidgetItem*> found =
      files_->findItems(QString::fromStdString(name), Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (found.isEmpty()) return;
  files_->setCurrentItem(found.front());
  files_->scrollToItem(found.front());
  files_->setFocus();
}

namespace {

// The first local file a drag carries; empty for none.
QString DroppedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return {};
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) return url.toLocalFile();
  }
  return {};
}

}  // namespace

void MainWindowWidget::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindowWidget::dropEvent(QDropEvent* event) {
  const std::string path = DroppedFile(event->mimeData()).toStdString();
  if (path.empty()) return;
  event->acceptProposedAction();
  Run([this, &path] { window_.OnFileDropped(path); });
}

std::optional<std::string> MainWindowWidget::FocusedSelectedFile() const {
  const QListWidgetItem* item = files_->currentItem();
  if (item == nullptr || !item->isSelected()) return std::nullopt;
  return item->text().toStdString();
}

void MainWindowWidget::SetBusyCursor(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void MainWindowWidget::SetCommandsEnabled(bool enabled) {
  for (const auto& [button, row] : buttons_) button->setEnabled(enabled && IsAvailable(*row));
  for (const auto& [action, row] : actions_) action->setEnabled(enabled && IsAvailable(*row));
  files_->setEnabled(enabled);
  folders_->setEnabled(enabled);
  drives_->setEnabled(enabled);
}

void MainWindowWidget::closeEvent(QCloseEvent* event) {
  if (!window_.OnCloseRequested()) {
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
}

void MainWindowWidget::Quit() {
  close();
  QCoreApplication::quit();
}

}  // namespace talvor

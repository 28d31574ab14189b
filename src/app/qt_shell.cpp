#include "app/qt_shell.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>
#include <utility>

namespace talvor {

namespace {

constexpr char kFileManagerService[] = "org.freedesktop.FileManager1";
constexpr char kFileManagerPath[] = "/org/freedesktop/FileManager1";
constexpr char kFileManagerInterface[] = "org.freedesktop.FileManager1";

QString ToQt(const std::string& text) {
  return QString::fromStdString(text);
}

// "rwxr-xr--": owner, group, others.
QString PermissionText(QFile::Permissions permissions) {
  constexpr std::pair<QFile::Permission, char> kBits[] = {
      {QFile::ReadOwner, 'r'}, {QFile::WriteOwner, 'w'}, {QFile::ExeOwner, 'x'},
      {QFile::ReadGroup, 'r'}, {QFile::WriteGroup, 'w'}, {QFile::ExeGroup, 'x'},
      {QFile::ReadOther, 'r'}, {QFile::WriteOther, 'w'}, {QFile::ExeOther, 'x'},
  };
  QString text;
  for (const auto& [bit, letter] : kBits) {
    text += permissions.testFlag(bit) ? QChar::fromLatin1(letter) : QLatin1Char('-');
  }
  return text;
}

QString TimeText(const QDateTime& time) {
  return time.isValid() ? QLocale::system().toString(time, QLocale::ShortFormat) : QString();
}

void AddRow(QFormLayout& form, const char* caption, const char* name, const QString& value) {
  auto* label = new QLabel(value);
  label->setObjectName(QString::fromLatin1(name));
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  form.addRow(QCoreApplication::translate("QtShell", caption), label);
}

// A window of its own, deleted when closed.
QWidget* MakePropertiesWindow(const QFileInfo& info) {
  auto* window = new QWidget(nullptr, Qt::Window);
  window->setObjectName(QString::fromLatin1(kPropertiesWindowName));
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setWindowTitle(QStringLiteral("Properties: %1").arg(info.fileName()));

  auto* layout = new QVBoxLayout(window);
  auto* form = new QFormLayout;
  layout->addLayout(form);
  AddRow(*form, "Name:", "PropertiesName", info.fileName());
  AddRow(*form, "Folder:", "PropertiesFolder", info.absolutePath());
  AddRow(*form, "Size:", "PropertiesSize",
         QStringLiteral("%1 bytes").arg(QLocale::system().toString(info.size())));
  AddRow(*form, "Modified:", "PropertiesModified",
         TimeText(info.fileTime(QFileDevice::FileModificationTime)));
  AddRow(*form, "Accessed:", "PropertiesAccessed",
         TimeText(info.fileTime(QFileDevice::FileAccessTime)));
  const QString owner = info.owner();
  AddRow(*form, "Owner:", "PropertiesOwner",
         owner.isEmpty() ? QString::number(info.ownerId()) : owner);
  AddRow(*form, "Permissions:", "PropertiesPermissions", PermissionText(info.permissions()));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  buttons->setObjectName(QStringLiteral("PropertiesButtons"));
  QObject::connect(buttons, &QDialogButtonBox::rejected, window, &QWidget::close);
  layout->addWidget(buttons);
  return window;
}

}  // namespace

QtShell::~QtShell() {
  bool closed = false;
  for (const QPointer<QWidget>& window : windows_) {
    if (window) closed = window->close() || closed;
  }
  // Closing only schedules their deletion.
  if (closed) QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void QtShell::Open(const std::string& path, const std::string& /*working_folder*/) {
  if (path.empty()) return;
  (void)QDesktopServices::openUrl(QUrl::fromLocalFile(ToQt(path)));
}

void QtShell::OpenAddress(const std::string& address) {
  (void)QDesktopServices::openUrl(QUrl(ToQt(address)));
}

void QtShell::ShowProperties(const std::string& path) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  const QDBusConnectionInterface* registry = bus.isConnected() ? bus.interface() : nullptr;
  if (registry == nullptr || !registry->isServiceRegistered(kFileManagerService).value()) {
    ShowOwnProperties(path);
    return;
  }
  QDBusMessage request = QDBusMessage::createMethodCall(
      kFileManagerService, kFileManagerPath, kFileManagerInterface, "ShowItemProperties");
  const QString uri = QUrl::fromLocalFile(QFileInfo(ToQt(path)).absoluteFilePath()).toString();
  request << QStringList{uri} << QString();
  // Asked without waiting; should the file manager refuse, our own window
  // shows instead.
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(request), &calls_);
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &calls_,
                   [this, path](QDBusPendingCallWatcher* finished) {
                     if (finished->isError()) ShowOwnProperties(path);
                     finished->deleteLater();
                   });
}

void QtShell::ShowOwnProperties(const std::string& path) {
  // Forget the windows closed since.
  std::erase_if(windows_, [](const QPointer<QWidget>& window) { return window.isNull(); });
  QWidget* window = MakePropertiesWindow(QFileInfo(ToQt(path)));
  windows_.emplace_back(window);
  window->show();
  window->raise();
  window->activateWindow();
}

}  // namespace talvor

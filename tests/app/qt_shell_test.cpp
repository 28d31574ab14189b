#include "app/qt_shell.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QTemporaryDir>
#include <optional>

#include "test_support.h"

namespace talvor {
namespace {

using testing::Child;

// Sets an environment variable for the life of the object.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const QString& value) : name_(name) {
    if (qEnvironmentVariableIsSet(name)) old_ = qEnvironmentVariable(name);
    qputenv(name, value.toLocal8Bit());
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  ~ScopedEnvironment() {
    if (old_) {
      qputenv(name_, old_->toLocal8Bit());
    } else {
      qunsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<QString> old_;
};

QList<QWidget*> PropertiesWindows() {
  QList<QWidget*> found;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->objectName() == kPropertiesWindowName) found << widget;
  }
  return found;
}

void WriteFile(const QString& path, const QByteArray& data) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(data);
}

TEST(QtShell, ShowsItsOwnPropertiesWithoutAFileManager) {
  const QDBusConnection bus = QDBusConnection::sessionBus();
  if (bus.isConnected() && bus.interface() != nullptr &&
      bus.interface()->isServiceRegistered("org.freedesktop.FileManager1").value()) {
    GTEST_SKIP() << "a file manager would show the properties";
  }
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QString path = folder.filePath("notes.txt");
  WriteFile(path, "The quick brown fox\n");
  ASSERT_TRUE(QFile::setPermissions(
      path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ExeOther));

  auto shell = std::make_unique<QtShell>();
  shell->ShowProperties(path.toStdString());
  const QList<QWidget*> windows = PropertiesWindows();
  ASSERT_EQ(windows.size(), 1);
  QWidget& window = *windows.front();
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(Child<QLabel>(window, "PropertiesName").text(), "notes.txt");
  EXPECT_EQ(Child<QLabel>(window, "PropertiesFolder").text(), QDir(folder.path()).absolutePath());
  EXPECT_EQ(Child<QLabel>(window, "PropertiesSize").text(), "20 bytes");
  EXPECT_EQ(Child<QLabel>(window, "PropertiesPermissions").text(), "rw-r----x");

  // Closing deletes a window; the shell closes those still open.
  const QPointer<QWidget> first = &window;
  shell->ShowProperties(path.toStdString());
  EXPECT_EQ(PropertiesWindows().size(), 2);
  first->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(first.isNull());
  EXPECT_EQ(PropertiesWindows().size(), 1);
  shell.reset();
  EXPECT_TRUE(PropertiesWindows().isEmpty());
}

}  // namespace
}  // namespace talvor

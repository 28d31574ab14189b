#include <QApplication>
#include <QIcon>

#include "app/application.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("zem-talvor"));
  QGuiApplication::setDesktopFileName(QStringLiteral("zem-talvor"));
  // The installed icon of the desktop's theme, else the program's own.
  QApplication::setWindowIcon(
      QIcon::fromTheme(QStringLiteral("zem-talvor"), QIcon(QStringLiteral(":/zem-talvor.svg"))));
  talvor::TalvorApplication talvor;
  return QApplication::exec();
}

#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "app/application.h"
#include "main_window/start_command.h"

int main(int argc, char* argv[]) {
  // --help needs no display.
  if (talvor::ParseStartArguments(std::vector<std::string>(argv + 1, argv + argc)).help) {
    std::cout << talvor::StartUsage();
    return 0;
  }
  // Qt takes out the arguments it knows (-platform, -style, ...).
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("zem-talvor"));
  QGuiApplication::setDesktopFileName(QStringLiteral("zem-talvor"));
  // The installed icon of the desktop's theme, else the program's own.
  QApplication::setWindowIcon(
      QIcon::fromTheme(QStringLiteral("zem-talvor"), QIcon(QStringLiteral(":/zem-talvor.svg"))));
  const talvor::StartRequest request =
      talvor::ParseStartArguments(std::vector<std::string>(argv + 1, argv + argc));
  // The one look at the working folder: the file panel starts there, and a
  // start file is taken in it.
  // (none when it is gone: the panel then says so).
  std::error_code error;
  talvor::TalvorApplication talvor(std::filesystem::current_path(error).string());
  // Once the main window is up: the file and the command it was started with.
  QTimer::singleShot(0, [&talvor, &request] { talvor.StartWith(request); });
  return QApplication::exec();
}

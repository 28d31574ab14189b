#include <QApplication>

#include "app/application.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("zem-talvor"));
  talvor::TalvorApplication talvor;
  return QApplication::exec();
}

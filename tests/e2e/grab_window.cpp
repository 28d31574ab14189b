// Saves a picture of an X11 window, for the screenshots of the README:
//   talvor_grab_window WINDOW_ID FILE.png
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
  QGuiApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: talvor_grab_window WINDOW_ID FILE.png\n");
    return 2;
  }
  const auto window = static_cast<WId>(std::strtoull(argv[1], nullptr, 0));
  const QPixmap picture = QGuiApplication::primaryScreen()->grabWindow(window);
  if (picture.isNull() || !picture.save(QString::fromLocal8Bit(argv[2]))) {
    std::fprintf(stderr, "could not grab window %s\n", argv[1]);
    return 1;
  }
  return 0;
}

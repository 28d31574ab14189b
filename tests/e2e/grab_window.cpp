// Saves a picture of an X11 window, for the screenshots of the README:
//   talvor_grab_window WINDOW_ID FILE.png [X Y WIDTH HEIGHT]
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
  QGuiApplication app(argc, argv);
  if (argc != 3 && argc != 7) {
    std::fprintf(stderr, "usage: talvor_grab_window WINDOW_ID FILE.png [X Y WIDTH HEIGHT]\n");
    return 2;
  }
  const auto window = static_cast<WId>(std::strtoull(argv[1], nullptr, 0));
  int part[4] = {0, 0, -1, -1};
  for (int i = 0; argc == 7 && i < 4; ++i) part[i] = std::atoi(argv[3 + i]);
  const QPixmap picture =
      QGuiApplication::primaryScreen()->grabWindow(window, part[0], part[1], part[2], part[3]);
  if (picture.isNull() || !picture.save(QString::fromLocal8Bit(argv[2]))) {
    std::fprintf(stderr, "could not grab window %s\n", argv[1]);
    return 1;
  }
  return 0;
}

// The window system asking to close a window that a modal window blocks.
//
// Qt drops such a request (the progress and password windows are modal), so
// the user could not end the program while a command runs. On X11 this
// filter sees the request (a WM_DELETE_WINDOW client message, ICCCM 4.2.8)
// before Qt drops it and hands it to `on_close`, which says whether it took
// it; elsewhere it does nothing.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QWidget>
#include <cstdint>
#include <functional>

namespace talvor {

class BlockedCloseFilter final : public QAbstractNativeEventFilter {
 public:
  // `window`: the window whose close requests are watched.
  BlockedCloseFilter(QWidget& window, std::function<bool()> on_close);
  BlockedCloseFilter(const BlockedCloseFilter&) = delete;
  BlockedCloseFilter& operator=(const BlockedCloseFilter&) = delete;
  ~BlockedCloseFilter() override;

  bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;

 private:
  QWidget& window_;
  std::function<bool()> on_close_;
  std::uint32_t protocols_ = 0;      // the WM_PROTOCOLS atom; 0: not on X11
  std::uint32_t delete_window_ = 0;  // the WM_DELETE_WINDOW atom
};

}  // namespace talvor

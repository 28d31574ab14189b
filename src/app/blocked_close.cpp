#include "app/blocked_close.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <QGuiApplication>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace talvor {

namespace {

std::uint32_t Atom(xcb_connection_t* connection, const char* name) {
  const xcb_intern_atom_cookie_t cookie =
      xcb_intern_atom(connection, 1, static_cast<std::uint16_t>(std::strlen(name)), name);
  const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
      xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
  return reply ? reply->atom : 0;
}

}  // namespace

BlockedCloseFilter::BlockedCloseFilter(QWidget& window, std::function<bool()> on_close)
    : window_(window), on_close_(std::move(on_close)) {
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 == nullptr || x11->connection() == nullptr) return;
  protocols_ = Atom(x11->connection(), "WM_PROTOCOLS");
  delete_window_ = Atom(x11->connection(), "WM_DELETE_WINDOW");
  QCoreApplication::instance()->installNativeEventFilter(this);
}

BlockedCloseFilter::~BlockedCloseFilter() {
  if (protocols_ != 0) QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool BlockedCloseFilter::nativeEventFilter(const QByteArray& type, void* message, qintptr*) {
  if (protocols_ == 0 || type != "xcb_generic_event_t") return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  if ((event->response_type & 0x7F) != XCB_CLIENT_MESSAGE) return false;
  const auto* client = static_cast<const xcb_client_message_event_t*>(message);
  if (client->type != protocols_ || client->format != 32 ||
      client->data.data32[0] != delete_window_ || client->window != window_.winId()) {
    return false;
  }
  // Unblocked, the window's own closeEvent has it.
  if (QApplication::activeModalWidget() == nullptr) return false;
  return on_close_();
}

}  // namespace talvor

#include "platform/dialogs.h"

#include <exception>
#include <new>

#include "platform/failure.h"

namespace talvor {

std::string ErrorDisplayText(std::string_view message) {
  std::string text(message);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  return text;
}

void RunGuarded(Dialogs& dialogs, const std::function<void()>& handler) {
  std::string message;
  try {
    handler();
    return;
  } catch (const Failure& e) {
    // A cancel is the user's own choice: the progress window has said so.
    if (e.kind() == FailureKind::kCancelled) return;
    // Words meant to be shown as they are come in a plain message box.
    if (e.as_said()) {
      dialogs.ShowMessage(e.what());
      return;
    }
    message = e.what();
  } catch (const std::bad_alloc&) {
    message = "Out of memory";
  } catch (const std::exception& e) {
    message = e.what();
  } catch (...) {
    message = "Unknown failure";
  }
  dialogs.ShowError(ErrorDisplayText(message));
}

}  // namespace talvor

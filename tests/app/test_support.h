// Helpers of the window tests: a Dialogs that records, and driving modal
// windows from inside their event loop.
#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "platform/dialogs.h"

namespace talvor::testing {

class RecordingDialogs final : public Dialogs {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  Answer AskYesNo(const std::string& /*text*/) override { return Answer::kNo; }
  void ShowError(const std::string& text) override { errors.push_back(text); }
  bool ExecuteSaveDialog(SaveDialogState& /*state*/) override { return false; }

  std::vector<std::string> messages;
  std::vector<std::string> errors;
};

// Runs `action` on the next modal window (other than `besides`) once its
// event loop runs. A window the action leaves open is closed, so that a
// failing test cannot hang.
inline void OnModal(std::function<void(QWidget&)> action, const QWidget* besides = nullptr,
                    int tries = 300) {
  QTimer::singleShot(10, [action = std::move(action), besides, tries]() mutable {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == besides) {
      if (tries > 0) {
        OnModal(std::move(action), besides, tries - 1);
      } else {
        ADD_FAILURE() << "no modal window appeared";
      }
      return;
    }
    try {
      action(*modal);
    } catch (const std::exception& e) {
      ADD_FAILURE() << e.what();
    }
    if (QApplication::activeModalWidget() == modal) {
      ADD_FAILURE() << "the modal window stayed open: " << modal->windowTitle().toStdString();
      modal->hide();
    }
  });
}

// Types text key by key, as a keyboard layout with those characters does.
inline void Type(QWidget& widget, const QString& text) {
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(&widget, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(&widget, &release);
  }
}

// Presses Tab `count` times in `window`: the names of the widgets the focus
// goes to.
inline std::vector<std::string> TabOrder(const QWidget& window, int count) {
  std::vector<std::string> names;
  for (int i = 0; i < count && window.focusWidget() != nullptr; ++i) {
    QTest::keyClick(window.focusWidget(), Qt::Key_Tab);
    names.push_back(window.focusWidget()->objectName().toStdString());
  }
  return names;
}

template <typename T>
[[nodiscard]] T& Child(const QWidget& parent, const char* name) {
  T* child = parent.findChild<T*>(QString::fromLatin1(name));
  if (child == nullptr) throw std::runtime_error(std::string("no widget ") + name);
  return *child;
}

}  // namespace talvor::testing

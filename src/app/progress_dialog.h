// The progress window: modal, shown once a command has run for half a
// second, with the file's name, the share done and an estimate of the time
// left. The program repaints while it is open and no other command starts.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>
#include <QWidget>
#include <cstdint>
#include <string>

#include "platform/progress_window.h"

namespace talvor {

class ProgressDialog final : public ProgressWindow {
 public:
  explicit ProgressDialog(QWidget* parent) : parent_(parent) {}
  ProgressDialog(const ProgressDialog&) = delete;
  ProgressDialog& operator=(const ProgressDialog&) = delete;
  ~ProgressDialog() override { Close(); }

  void Open(const std::string& file) override;
  void Update(std::uint64_t done, std::uint64_t total) override;
  void Close() override;

  // The window while a command runs (for tests); null otherwise.
  [[nodiscard]] QProgressDialog* dialog() const { return dialog_; }

 private:
  QWidget* parent_;
  QPointer<QProgressDialog> dialog_;
  QElapsedTimer timer_;
  std::string name_;
  std::uint64_t size_ = 0;
};

}  // namespace talvor

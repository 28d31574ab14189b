// The progress window: modal, shown once a command has run for half a
// second, with what the command does, the share done and an estimate of the
// time left, and a Cancel button (Escape does the same) for work that may
// be cancelled. The command runs beside the window's thread meanwhile, so
// the program repaints; no other command starts. The window is gone as soon
// as the command ends, before any message.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/progress_window.h"

namespace talvor {

class ProgressDialog final : public ProgressWindow {
 public:
  explicit ProgressDialog(QWidget* parent);
  ProgressDialog(const ProgressDialog&) = delete;
  ProgressDialog& operator=(const ProgressDialog&) = delete;
  ~ProgressDialog() override;

  void Open(const std::string& title, const std::string& file, CancelToken* cancel) override;
  void Update(std::uint64_t done, std::uint64_t total) override;
  void Close() override;

  // The window while a command runs (for tests); null otherwise.
  [[nodiscard]] QDialog* dialog() const;

 private:
  class Box;

  void RequestCancel();

  QWidget* parent_;
  std::unique_ptr<Box> box_;
  QElapsedTimer timer_;
  std::string title_;
  std::uint64_t size_ = 0;
  CancelToken* cancel_ = nullptr;
  bool cancel_requested_ = false;
};

}  // namespace talvor

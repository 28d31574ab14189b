#include "app/progress_dialog.h"

#include <QFileInfo>

#include "platform/progress.h"

namespace talvor {

namespace {
constexpr int kSteps = 1000;
}  // namespace

void ProgressDialog::Open(const std::string& file) {
  Close();
  const QFileInfo info(QString::fromStdString(file));
  name_ = info.fileName().toStdString();
  size_ = static_cast<std::uint64_t>(info.size());
  // Owned by its parent window, which outlives the command; Close() ends it.
  dialog_ = new QProgressDialog(parent_);
  dialog_->setWindowTitle(QStringLiteral("ZEM Talvor"));
  dialog_->setWindowModality(Qt::ApplicationModal);
  dialog_->setCancelButton(nullptr);
  dialog_->setAutoClose(false);
  dialog_->setAutoReset(false);
  dialog_->setMinimumDuration(500);
  dialog_->setRange(0, kSteps);
  dialog_->setLabelText(QString::fromStdString(name_));
  dialog_->setValue(0);
  timer_.start();
}

void ProgressDialog::Update(std::uint64_t done, std::uint64_t total) {
  if (dialog_ == nullptr || total == 0) return;
  const double seconds = static_cast<double>(timer_.elapsed()) / 1000;
  dialog_->setLabelText(
      QString::fromStdString(name_ + "\n" + ProgressSummary(done, total, size_, seconds)));
  const auto step = static_cast<int>(std::min<std::uint64_t>(done, total) * kSteps / total);
  // Once shown, the modal dialog lets the program repaint as it changes
  // (before, the program's windows take no input a command could meet).
  dialog_->setValue(step);
}

void ProgressDialog::Close() {
  if (dialog_ == nullptr) return;
  dialog_->hide();
  dialog_->deleteLater();
  dialog_ = nullptr;
}

}  // namespace talvor

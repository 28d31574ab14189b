#include "app/progress_dialog.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <functional>

#include "platform/progress.h"

namespace talvor {

namespace {
constexpr int kSteps = 1000;
constexpr qint64 kQuietMilliseconds = 500;
}  // namespace

// The window itself. Escape and the window's close button cancel, as the
// Cancel button does, where the work may be cancelled; otherwise they do
// nothing (the window closes when the work is done).
class ProgressDialog::Box final : public QDialog {
 public:
  Box(QWidget* parent, bool cancellable, std::function<void()> cancel)
      : QDialog(parent), cancel_(std::move(cancel)) {
    setWindowTitle(QStringLiteral("ZEM Talvor"));
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    text_ = new QLabel(this);
    text_->setObjectName(QStringLiteral("ProgressText"));
    text_->setMinimumWidth(360);
    layout->addWidget(text_);
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("ProgressBar"));
    bar_->setRange(0, kSteps);
    bar_->setAccessibleName(QStringLiteral("Progress"));
    bar_->setTextVisible(false);  // the text above says how far
    layout->addWidget(bar_);
    if (cancellable) {
      button_ = new QPushButton(QStringLiteral("Cancel"), this);
      button_->setObjectName(QStringLiteral("CancelButton"));
      layout->addWidget(button_, 0, Qt::AlignRight);
      connect(button_, &QPushButton::clicked, this, [this] { cancel_(); });
    }
  }

  void Show(const QString& text, int step) {
    text_->setText(text);
    bar_->setValue(step);
  }
  void ShowCancelled() {
    text_->setText(QStringLiteral("Cancelled."));
    if (button_ != nullptr) button_->setEnabled(false);
  }

  void reject() override {
    if (button_ != nullptr) cancel_();
  }

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    reject();
  }

 private:
  std::function<void()> cancel_;
  QLabel* text_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPushButton* button_ = nullptr;
};

ProgressDialog::ProgressDialog(QWidget* parent) : parent_(parent) {}

ProgressDialog::~ProgressDialog() {
  Close();
}

QDialog* ProgressDialog::dialog() const {
  return box_.get();
}

void ProgressDialog::Open(const std::string& title, const std::string& file, CancelToken* cancel) {
  Close();
  title_ = title;
  size_ = static_cast<std::uint64_t>(QFileInfo(QString::fromStdString(file)).size());
  cancel_ = cancel;
  cancel_requested_ = false;
  box_ = std::make_unique<Box>(parent_, cancel != nullptr, [this] { RequestCancel(); });
  box_->Show(QString::fromStdString(title_), 0);
  timer_.start();
}

void ProgressDialog::Update(std::uint64_t done, std::uint64_t total) {
  if (!box_ || total == 0) return;
  const double seconds = static_cast<double>(timer_.elapsed()) / 1000;
  if (!cancel_requested_) {
    box_->Show(QString::fromStdString(title_ + "\n" + ProgressSummary(done, total, size_, seconds)),
               static_cast<int>(std::min<std::uint64_t>(done, total) * kSteps / total));
  }
  // Quiet for the first moment: most commands are done by then. The window
  // shows only while work runs, so it can never stand before a message.
  if (!box_->isVisible() && timer_.elapsed() >= kQuietMilliseconds) box_->show();
}

void ProgressDialog::RequestCancel() {
  cancel_requested_ = true;
  if (cancel_ != nullptr) cancel_->Cancel();
  if (box_) box_->ShowCancelled();
}

void ProgressDialog::Close() {
  if (!box_) return;
  box_->hide();
  box_.reset();
  cancel_ = nullptr;
}

}  // namespace talvor

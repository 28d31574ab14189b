#include "app/about_dialog.h"

#include <QCloseEvent>
#include <QLabel>
#include <QToolButton>
#include <functional>

#include "app/widget_parts.h"

namespace talvor {

namespace {

// The window measures 426 x 159 with a dialog frame and title bar.
constexpr int kClientWidth = 418;
constexpr int kClientHeight = 125;

}  // namespace

AboutDialog::AboutDialog(AboutWindow& form, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      form_(form),
      dialogs_(dialogs) {
  setWindowTitle(QString::fromUtf8(kAboutCaption));
  setFixedSize(kClientWidth, kClientHeight);
  setFont(ArialFont(12));
  setModal(false);
  UseLightBackground(*this);

  auto* title = new QLabel(QString::fromUtf8(kAboutTitle), this);
  title->setObjectName(QStringLiteral("Label1"));
  title->setGeometry(72, 8, 298, 24);
  title->setAlignment(Qt::AlignCenter);
  title->setFont(ArialFont(21));
  SetColour(*title, QPalette::WindowText, kMaroon);
  line1_ = MakeLabel(this, "Label2", QString(), {64, 40}, ArialFont(13), kNavy);
  line2_ = MakeLabel(this, "Label3", QString(), {160, 64}, ArialFont(13), kNavy);
  auto* close = MakeFlatButton(this, "CloseButton", QStringLiteral("Close"), {160, 96, 89, 24});

  connect(close, &QToolButton::clicked, this, [this] { Run(&AboutWindow::OnCloseClicked); });
}

void AboutDialog::Run(void (AboutWindow::*handler)()) {
  RunGuarded(dialogs_, [this, handler] { std::invoke(handler, form_); });
}

void AboutDialog::SetCaption(const std::string& text) {
  setWindowTitle(QString::fromStdString(text));
}

void AboutDialog::SetCredits(const std::string& line1, const std::string& line2) {
  SetLabelText(*line1_, QString::fromStdString(line1));
  SetLabelText(*line2_, QString::fromStdString(line2));
}

void AboutDialog::Show() {
  show();
  raise();
  activateWindow();
}

void AboutDialog::Close() {
  hide();
}

bool AboutDialog::event(QEvent* event) {
  const bool handled = QDialog::event(event);
  if (event->type() == QEvent::WindowActivate) Run(&AboutWindow::OnActivated);
  return handled;
}

void AboutDialog::closeEvent(QCloseEvent* event) {
  event->ignore();
}

}  // namespace talvor

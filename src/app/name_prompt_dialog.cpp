#include "app/name_prompt_dialog.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <functional>

#include "app/widget_parts.h"

namespace talvor {

namespace {

constexpr int kClientWidth = 688;
constexpr int kClientHeight = 100;

}  // namespace

NamePromptDialog::NamePromptDialog(NamePrompt& form, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      form_(form),
      dialogs_(dialogs) {
  setWindowTitle(QString::fromUtf8(kNamePromptDesignCaption));
  setFixedSize(kClientWidth, kClientHeight);
  setFont(ArialFont(12));
  setModal(false);

  prompt_ = MakeLabel(this, "Label1", QString(), {8, 8}, ArialFont(13), kMaroon);
  edit_ = new QLineEdit(this);
  edit_->setObjectName(QStringLiteral("Edit1"));
  edit_->setGeometry(8, 32, 665, 21);
  edit_->setFont(ArialFont(12));
  auto* ok = MakeFlatButton(this, "OkButton", QStringLiteral("OK"), {8, 56, 97, 24});
  auto* cancel = MakeFlatButton(this, "CancelButton", QStringLiteral("Cancel"), {104, 56, 97, 24});

  connect(ok, &QToolButton::clicked, this, [this] { Run(&NamePrompt::OnOkClicked); });
  connect(cancel, &QToolButton::clicked, this, [this] { Run(&NamePrompt::OnCancelClicked); });
}

void NamePromptDialog::Run(void (NamePrompt::*handler)()) {
  RunGuarded(dialogs_, [this, handler] { std::invoke(handler, form_); });
}

void NamePromptDialog::SetCaption(const std::string& text) {
  setWindowTitle(QString::fromStdString(text));
}

void NamePromptDialog::SetPrompt(const std::string& text) {
  SetLabelText(*prompt_, QString::fromStdString(text));
  NameAfterLabel(*prompt_, *edit_);
}

std::string NamePromptDialog::EditText() const {
  return edit_->text().toStdString();
}

// Each showing starts in the field, wherever the keys left the focus.
void NamePromptDialog::Show() {
  edit_->setFocus();
  show();
  raise();
  activateWindow();
}

// Hidden rather than closed: the close event is refused.
void NamePromptDialog::Close() {
  hide();
}

bool NamePromptDialog::event(QEvent* event) {
  const bool handled = QDialog::event(event);
  if (event->type() == QEvent::WindowActivate) Run(&NamePrompt::OnActivated);
  return handled;
}

void NamePromptDialog::closeEvent(QCloseEvent* event) {
  event->ignore();
}

}  // namespace talvor

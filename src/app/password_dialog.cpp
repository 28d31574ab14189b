#include "app/password_dialog.h"

#include "app/widget_parts.h"

#include <QCheckBox>
#include <QEvent>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QToolButton>
#include <QValidator>
#include <functional>

#include "platform/text.h"
#include "protect/passphrase.h"

namespace talvor {

namespace {

constexpr int kClientWidth = 688;
constexpr int kClientHeight = 187;

QLabel* MakeFixedLabel(QWidget* parent, const char* name, const QString& text, QRect geometry,
                       int font_pixels, const QColor& colour) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setGeometry(geometry);
  label->setFont(ArialFont(font_pixels));
  SetColour(*label, QPalette::WindowText, colour);
  return label;
}

QString MaskStyle(char password_char) {
  return QStringLiteral("QLineEdit { color: #ff0000; lineedit-password-character: %1; }")
      .arg(static_cast<unsigned char>(password_char));
}

// Holds a password field to capitals and at most 401 characters, counted as
// code points (QLineEdit::setMaxLength would count UTF-16 units). Typing and
// pasting put text before the cursor, so the text after the cursor was there
// before: it stays, and the text before the cursor is cut to the room left.
// A key pressed in a full field is so refused and a paste keeps what fits at
// the cursor; a text the program sets, the cursor at its end, keeps its first
// 401 characters.
class PasswordFieldValidator final : public QValidator {
 public:
  using QValidator::QValidator;

  State validate(QString& input, int& pos) const override {
    const std::string after =
        FirstCharacters(AnsiUpperCase(input.sliced(pos).toStdString()), kPasswordFieldLimit);
    const std::string before = FirstCharacters(AnsiUpperCase(input.first(pos).toStdString()),
                                               kPasswordFieldLimit - CharacterCount(after));
    QString fitted = QString::fromStdString(before);
    pos = static_cast<int>(fitted.size());
    fitted += QString::fromStdString(after);
    if (fitted != input) input = fitted;
    return Acceptable;
  }
};

QLineEdit* MakeField(QWidget* parent, const char* name, QRect geometry, QLabel* label) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setGeometry(geometry);
  edit->setFont(ArialFont(12));
  edit->setStyleSheet(MaskStyle('*'));
  edit->setValidator(new PasswordFieldValidator(edit));
  NameAfterLabel(*label, *edit);
  return edit;
}

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const char* text, QRect geometry,
                        bool checked) {
  auto* box = new QCheckBox(QString::fromUtf8(text), parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setGeometry(geometry);
  box->setChecked(checked);
  box->setFont(ArialFont(11));  // the boxes sit close together
  return box;
}

}  // namespace

PasswordDialog::PasswordDialog(PasswordWindow& form, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowMinimizeButtonHint),
      form_(form),
      dialogs_(dialogs) {
  setWindowTitle(QString::fromUtf8(password_text::kDesignCaption));
  setFixedSize(kClientWidth, kClientHeight);
  setFont(ArialFont(12));
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, palette.color(QPalette::Light));
  setPalette(palette);
  setAutoFillBackground(true);

  file_line_ = MakeFixedLabel(this, "Label1", QString(), {25, 8, 640, 16}, 13, kMaroon);
  QLabel* label2 = MakeFixedLabel(this, "Label2", QString::fromUtf8(password_text::kPassphrase),
                                  {24, 32, 120, 16}, 13, kNavy);
  edit1_ = MakeField(this, "Passphrase", {24, 48, 649, 23}, label2);
  echo1_ = MakeFixedLabel(this, "Label4", QString(), {616, 32, 57, 16}, 12, kNavy);
  QLabel* label3 = MakeFixedLabel(this, "Label3", QString::fromUtf8(password_text::kRepeat),
                                  {25, 80, 160, 16}, 13, kNavy);
  edit2_ = MakeField(this, "Repeat", {24, 96, 649, 23}, label3);
  echo2_ = MakeFixedLabel(this, "Label5", QString(), {616, 80, 57, 16}, 12, kNavy);
  action_ = MakeFlatButton(this, "RunButton", QString(), {24, 120, 137, 24});
  cancel_ = MakeFlatButton(this, "CancelButton", QString::fromUtf8(password_text::kCancel),
                           {160, 120, 113, 24});
  plain_box_ = MakeCheckBox(this, "ShowCharacters", password_text::kShowCharacters,
                            {24, 152, 169, 17}, true);
  mask_box_ = MakeCheckBox(this, "MaskCharacters", password_text::kMaskCharacters,
                           {184, 152, 129, 17}, false);

  // Top to bottom, left to right.
  setTabOrder(edit1_, edit2_);
  setTabOrder(edit2_, action_);
  setTabOrder(action_, cancel_);
  setTabOrder(cancel_, plain_box_);
  setTabOrder(plain_box_, mask_box_);

  connect(edit1_, &QLineEdit::textChanged, this,
          [this] { Run(&PasswordWindow::OnPassphraseTyped); });
  connect(edit2_, &QLineEdit::textChanged, this, [this] { Run(&PasswordWindow::OnRepeatEdited); });
  connect(plain_box_, &QCheckBox::clicked, this,
          [this] { Run(&PasswordWindow::OnShowCharactersClicked); });
  connect(mask_box_, &QCheckBox::clicked, this,
          [this] { Run(&PasswordWindow::OnMaskCharactersClicked); });
  connect(action_, &QToolButton::clicked, this, [this] { Run(&PasswordWindow::OnRunClicked); });
  connect(cancel_, &QToolButton::clicked, this, [this] { Run(&PasswordWindow::OnCancelClicked); });
}

void PasswordDialog::Run(void (PasswordWindow::*handler)()) {
  RunGuarded(dialogs_, [this, handler] { std::invoke(handler, form_); });
}

QLineEdit* PasswordDialog::Edit(Field field) const {
  return field == Field::kPassphrase ? edit1_ : edit2_;
}

QCheckBox* PasswordDialog::CheckBox(Check check) const {
  return check == Check::kShowCharacters ? plain_box_ : mask_box_;
}

void PasswordDialog::SetCaption(const std::string& text) {
  setWindowTitle(QString::fromStdString(text));
}

void PasswordDialog::SetActionButton(const std::string& text) {
  action_->setText(QString::fromStdString(text));
}

void PasswordDialog::SetFileLine(const std::string& text) {
  file_line_->setText(QString::fromStdString(text));
}

Secret PasswordDialog::FieldText(Field field) const {
  QByteArray text = Edit(field)->text().toUtf8();
  Secret secret(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
  SecureWipe(text.data(), static_cast<std::size_t>(text.size()));
  return secret;
}

void PasswordDialog::SetFieldText(Field field, const std::string& text) {
  Edit(field)->setText(QString::fromStdString(text));
}

void PasswordDialog::SetEcho(Field field, const std::string& text) {
  (field == Field::kPassphrase ? echo1_ : echo2_)->setText(QString::fromStdString(text));
}

void PasswordDialog::SetPasswordChar(char c) {
  for (QLineEdit* edit : {edit1_, edit2_}) {
    if (c == '\0') {
      edit->setEchoMode(QLineEdit::Normal);
    } else {
      edit->setStyleSheet(MaskStyle(c));
      edit->setEchoMode(QLineEdit::Password);
    }
  }
}

bool PasswordDialog::IsChecked(Check check) const {
  return CheckBox(check)->isChecked();
}

void PasswordDialog::SetChecked(Check check, bool checked) {
  CheckBox(check)->setChecked(checked);
}

// Each showing starts in the first field, wherever the keys left the focus.
void PasswordDialog::ShowModal() {
  edit1_->setFocus();
  exec();
}

void PasswordDialog::Close() {
  done(QDialog::Rejected);
}

void PasswordDialog::reject() {
  Run(&PasswordWindow::OnCancelClicked);
}

bool PasswordDialog::event(QEvent* event) {
  const bool handled = QDialog::event(event);
  if (event->type() == QEvent::WindowActivate) Run(&PasswordWindow::OnActivated);
  return handled;
}

}  // namespace talvor

#include "password/password_window.h"

#include "platform/text.h"
#include "protect/passphrase.h"

namespace talvor {

namespace {

constexpr OperationTexts kOperationTexts[] = {
    {"ZEM TALVOR :encrypt file - algorithm TRAP", "Encrypt", "File :"},
    {"ZEM TALVOR :decrypt file - algorithm TRAP", "Decrypt", "File  :"},
    {"ZEM TALVOR :encrypt file - algorithm ORM", "Encrypt", "File  :"},
    {"ZEM TALVOR :decrypt file - algorithm ORM", "Decrypt", "File :"},
    {"ZEM TALVOR :encrypt file - algorithm BLOWFISH", "Encrypt", "File  :"},
    {"ZEM TALVOR :decrypt file - algorithm BLOWFISH", "Decrypt", "File :"},
    {"ZEM TALVOR :encrypt file - algorithm RIJNDAEL", "Encrypt", "File  :"},
    {"ZEM TALVOR :decrypt file - algorithm RIJNDAEL", "Decrypt", "File  :"},
    {"ZEM TALVOR :encrypt file - random algorithm", "Encrypt", "File :"},
    {"ZEM TALVOR :decrypt file - random algorithm", "Decrypt", "File  :"},
};

}  // namespace

const OperationTexts* TextsForOperation(std::uint8_t code) noexcept {
  if (code < 1 || code > 10) return nullptr;
  return &kOperationTexts[code - 1];
}

void TForm2::RefreshEcho(PasswordView::Field field) {
  const Secret text = view_->FieldText(field);
  view_->SetEcho(field, std::to_string(CharacterCount(TrimControl(text.view()))));
}

void TForm2::FormCreate() {
  // Created before any command: with code 0 nothing changes.
  if (const OperationTexts* texts = TextsForOperation(hand_over_.OperationCode)) {
    view_->SetCaption(texts->caption);
    view_->SetActionButton(texts->button);
    view_->SetFileLine(texts->file_prefix + hand_over_.SelectedPath);
  }
}

void TForm2::wyswietl() {
  RefreshEcho(PasswordView::kMaskEdit1);
  FormCreate();
}

void TForm2::wyswietl2() {
  RefreshEcho(PasswordView::kMaskEdit2);
}

void TForm2::zmian() {
  if (view_->IsChecked(PasswordView::kCheckBox1) && view_->IsChecked(PasswordView::kCheckBox2)) {
    view_->SetChecked(PasswordView::kCheckBox2, false);
    zmian2();
  }
  view_->SetPasswordChar('\0');
}

void TForm2::zmian2() {
  if (view_->IsChecked(PasswordView::kCheckBox2) && view_->IsChecked(PasswordView::kCheckBox1)) {
    view_->SetChecked(PasswordView::kCheckBox1, false);
    zmian();
  }
  view_->SetPasswordChar('*');
}

void TForm2::SpeedButton1Click() {
  using Verdict = PassphraseCheck::Verdict;
  Direction direction = Direction::kEncrypt;
  const ProtectionMethod* method = MethodByCode(hand_over_.OperationCode, &direction);
  if (method == nullptr) return;
  const PassphraseCheck check =
      CheckPassphrase(view_->FieldText(PasswordView::kMaskEdit1).view(),
                      view_->FieldText(PasswordView::kMaskEdit2).view(), direction);
  switch (check.verdict) {
    case Verdict::kEmpty:
    case Verdict::kTooShort:
    case Verdict::kUnusableCharacter:
      dialogs_.ShowMessage(check.message);
      return;
    case Verdict::kMismatch:
      dialogs_.ShowMessage(check.message);
      view_->SetFieldText(PasswordView::kMaskEdit1, "");
      view_->SetFieldText(PasswordView::kMaskEdit2, "");
      return;
    case Verdict::kAccepted:
      break;
  }
  view_->SetFieldText(PasswordView::kMaskEdit1, "");
  view_->SetFieldText(PasswordView::kMaskEdit2, "");
  last_result_ =
      commands_.Cipher(*method, direction, hand_over_.SelectedPath, check.passphrase.view());
  hand_over_.OperationPending = false;
  view_->Close();
}

void TForm2::SpeedButton2Click() {
  view_->Close();
}

void TForm2::ShowModal() {
  view_->ShowModal();
}

}  // namespace talvor

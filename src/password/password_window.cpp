#include "password/password_window.h"

#include <memory>

#include "platform/text.h"
#include "protect/passphrase.h"

namespace talvor {

namespace {

// By the method's encrypt and decrypt codes, 1 to 10.
constexpr CipherTexts kCipherTexts[] = {
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

const CipherTexts& TextsFor(const ProtectionMethod& method, Direction direction) {
  const int code = direction == Direction::kEncrypt ? method.encrypt_code : method.decrypt_code;
  return kCipherTexts[code - 1];
}

void PasswordWindow::RefreshEcho(PasswordView::Field field) {
  const Secret text = view_->FieldText(field);
  view_->SetEcho(field, std::to_string(CharacterCount(TrimControl(text.view()))));
}

void PasswordWindow::Create() {
  // Created before any command: with no request nothing changes.
  if (request_.method == nullptr) return;
  const CipherTexts& texts = TextsFor(*request_.method, request_.direction);
  view_->SetCaption(texts.caption);
  view_->SetActionButton(texts.button);
  view_->SetFileLine(texts.file_prefix + request_.file);
}

void PasswordWindow::OnPassphraseTyped() {
  RefreshEcho(PasswordView::Field::kPassphrase);
  Create();
}

void PasswordWindow::OnRepeatEdited() {
  RefreshEcho(PasswordView::Field::kRepeat);
}

void PasswordWindow::OnShowCharactersClicked() {
  using Check = PasswordView::Check;
  if (view_->IsChecked(Check::kShowCharacters) && view_->IsChecked(Check::kMaskCharacters)) {
    view_->SetChecked(Check::kMaskCharacters, false);
    OnMaskCharactersClicked();
  }
  view_->SetPasswordChar('\0');
}

void PasswordWindow::OnMaskCharactersClicked() {
  using Check = PasswordView::Check;
  if (view_->IsChecked(Check::kMaskCharacters) && view_->IsChecked(Check::kShowCharacters)) {
    view_->SetChecked(Check::kShowCharacters, false);
    OnShowCharactersClicked();
  }
  view_->SetPasswordChar('*');
}

void PasswordWindow::OnRunClicked() {
  using Verdict = PassphraseCheck::Verdict;
  using Field = PasswordView::Field;
  if (request_.method == nullptr) return;
  const PassphraseCheck check =
      CheckPassphrase(view_->FieldText(Field::kPassphrase).view(),
                      view_->FieldText(Field::kRepeat).view(), request_.direction);
  switch (check.verdict) {
    case Verdict::kEmpty:
    case Verdict::kTooShort:
    case Verdict::kUnusableCharacter:
      dialogs_.ShowMessage(check.message);
      return;
    case Verdict::kMismatch:
      dialogs_.ShowMessage(check.message);
      view_->SetFieldText(Field::kPassphrase, "");
      view_->SetFieldText(Field::kRepeat, "");
      return;
    case Verdict::kAccepted:
      break;
  }
  view_->SetFieldText(Field::kPassphrase, "");
  view_->SetFieldText(Field::kRepeat, "");
  // The window stays open while the routine runs; a failure is shown and
  // leaves it open.
  const auto passphrase = std::make_shared<const Secret>(check.passphrase.Copy());
  const auto written = std::make_shared<std::string>();
  (void)worker_.Start(
      [this, passphrase, written](CancelToken& cancel) {
        *written = commands_.Cipher(*request_.method, request_.direction, request_.file,
                                    passphrase->view(), cancel);
      },
      [this, written](const std::exception_ptr& failure) {
        RunGuarded(dialogs_, [&] {
          if (failure) std::rethrow_exception(failure);
          result_.status =
              written->empty() ? CipherResult::Status::kFailed : CipherResult::Status::kWritten;
          result_.written = std::move(*written);
          view_->Close();
        });
      });
}

void PasswordWindow::OnCancelClicked() {
  // While the routine runs, Cancel stops it; the window then stays.
  if (worker_.busy()) {
    worker_.Cancel();
    return;
  }
  view_->Close();
}

CipherResult PasswordWindow::Run(const CipherRequest& request) {
  request_ = request;
  result_ = {};
  view_->ShowModal();
  return result_;
}

}  // namespace talvor

#include "protect/passphrase.h"

#include "platform/text.h"

namespace talvor {

std::string PasswordFieldText(std::string_view typed) {
  return FirstCharacters(AnsiUpperCase(typed), kPasswordFieldLimit);
}

PassphraseCheck CheckPassphrase(std::string_view first, std::string_view second,
                                Direction direction) {
  using Verdict = PassphraseCheck::Verdict;
  PassphraseCheck check;
  if (first.empty()) {
    check.verdict = Verdict::kEmpty;
    check.message = kPasswordEmptyText;
  } else if (CharacterCount(first) < kMinimumPasswordLength) {
    check.verdict = Verdict::kTooShort;
    check.message = kPasswordTooShortText;
  } else if (first != second) {
    check.verdict = Verdict::kMismatch;
    check.message = kPasswordMismatchText;
  } else if (direction == Direction::kEncrypt &&
             CharacterCount(TrimControl(first)) < kMinimumPasswordLength) {
    check.verdict = Verdict::kTooShort;
    check.message = kPasswordBlanksText;
  } else {
    const std::string_view trimmed = TrimControl(first);
    auto bytes = AnsiCodePage().EncodeSecret(trimmed);
    if (!bytes && !DecodeUtf8(trimmed)) {
      // Not a word of it is shown: it is a secret, and not text either.
      check.verdict = Verdict::kUnusableCharacter;
      check.message = kPasswordNotUtf8Text;
    } else if (!bytes) {
      // Only the one character that cannot be used.
      check.verdict = Verdict::kUnusableCharacter;
      check.message = "The password contains the character \"" +
                      AnsiCodePage().FirstUnencodable(trimmed) +
                      "\", which the Central European (Windows-1250) character set does not "
                      "hold. Please use other characters!";
    } else {
      check.passphrase = std::move(*bytes);
    }
  }
  return check;
}

}  // namespace talvor

// The checks a pass phrase passes before any key is made from it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/secret.h"
#include "protect/methods.h"

namespace talvor {

inline constexpr std::size_t kPasswordFieldLimit = 401;
inline constexpr std::size_t kMinimumPasswordLength = 14;

inline constexpr char kPasswordEmptyText[] = "Password???";
inline constexpr char kPasswordTooShortText[] =
    "The required password length is at least 14 characters!";
inline constexpr char kPasswordBlanksText[] =
    "The required password length is at least 14 characters, not counting the blanks at its "
    "start and end!";
inline constexpr char kPasswordMismatchText[] = "Your Password and Re-enter password do not match!";
inline constexpr char kPasswordNotUtf8Text[] =
    "The password is not UTF-8 text. A pass phrase file must be saved as UTF-8 (a file in the "
    "Central European code page Windows-1250 is not)!";

// What a password field holds after text is typed at its end: letters
// become capitals, and what goes beyond 401 characters is not taken.
[[nodiscard]] std::string PasswordFieldText(std::string_view typed);

struct PassphraseCheck {
  enum class Verdict { kAccepted, kEmpty, kTooShort, kMismatch, kUnusableCharacter };
  Verdict verdict = Verdict::kAccepted;
  // The message to show when not accepted.
  std::string message;
  // When accepted: the pass phrase, trimmed, as bytes of the Central European
  // ANSI code page.
  Secret passphrase;
};

// Checks the two field texts in the window's order: the first field empty,
// shorter than 14 characters (counted before trimming), the two differing;
// for encrypting, shorter than 14 characters once trimmed (blanks alone
// would make an empty key; files made so earlier still decrypt); then that
// every character has a place in the code page.
[[nodiscard]] PassphraseCheck CheckPassphrase(std::string_view first, std::string_view second,
                                              Direction direction);

}  // namespace talvor

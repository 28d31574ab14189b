// UTF-8 text and the single-byte code pages of stored names and pass phrases:
// the Central European ANSI code page (Windows-1250) and the Central European
// OEM code page (852).
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/secret.h"

namespace talvor {

// Decodes UTF-8; nullopt for malformed text.
[[nodiscard]] std::optional<std::u32string> DecodeUtf8(std::string_view text);
[[nodiscard]] std::string EncodeUtf8(std::u32string_view text);
// Number of characters (code points) of valid UTF-8 text; for malformed text
// the number of bytes.
[[nodiscard]] std::size_t CharacterCount(std::string_view text);
// The first `count` characters.
[[nodiscard]] std::string FirstCharacters(std::string_view text, std::size_t count);
// Removes leading and trailing characters with codes 0 to 32.
[[nodiscard]] std::string_view TrimControl(std::string_view text);

class CodePage {
 public:
  // `iconv_name` as iconv knows it ("CP1250", "CP852").
  explicit CodePage(const char* iconv_name);

  // UTF-8 to the code page; nullopt when a character has no place in it (or
  // the text is not valid UTF-8).
  [[nodiscard]] std::optional<std::string> Encode(std::string_view utf8) const;
  // The same for a pass phrase: no copy of it is left behind.
  [[nodiscard]] std::optional<Secret> EncodeSecret(std::string_view utf8) const;
  // The code page to UTF-8. Bytes the code page leaves undefined become the
  // control characters of the same number, as the platform converts them.
  [[nodiscard]] std::string Decode(std::string_view bytes) const;
  // The first character of `utf8` that cannot be encoded, as UTF-8 text; empty
  // when there is none or the text is not valid UTF-8.
  [[nodiscard]] std::string FirstUnencodable(std::string_view utf8) const;

  [[nodiscard]] char32_t ToUnicode(unsigned char b) const { return to_unicode_[b]; }
  [[nodiscard]] std::optional<unsigned char> FromUnicode(char32_t c) const;

 private:
  std::array<char32_t, 256> to_unicode_{};
  std::unordered_map<char32_t, unsigned char> from_unicode_;
};

// Windows-1250: names and pass phrases as the platform's 8-bit text.
[[nodiscard]] const CodePage& AnsiCodePage();
// Code page 852: names stored in archives.
[[nodiscard]] const CodePage& OemCodePage();

// Upper-case letter conversion as an edit field with upper-case conversion
// does it: every letter of Windows-1250 that has a capital in that code page
// becomes the capital; every other character stays as it is.
[[nodiscard]] std::string AnsiUpperCase(std::string_view utf8);
// The same for a pass phrase: no copy of it is left behind.
[[nodiscard]] Secret AnsiUpperCaseSecret(std::string_view utf8);
[[nodiscard]] unsigned char AnsiUpperCaseByte(unsigned char b);

}  // namespace talvor

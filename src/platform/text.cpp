#include "platform/text.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace talvor {

namespace {

// The code point that starts at text[*at], moving *at past it; nullopt for
// malformed text.
std::optional<char32_t> NextCodePoint(std::string_view text, std::size_t* at) {
  const std::size_t i = *at;
  const auto b0 = static_cast<unsigned char>(text[i]);
  char32_t c = 0;
  std::size_t len = 0;
  char32_t min = 0;
  if (b0 < 0x80) {
    *at = i + 1;
    return b0;
  } else if ((b0 & 0xE0) == 0xC0) {
    c = b0 & 0x1F;
    len = 2;
    min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    c = b0 & 0x0F;
    len = 3;
    min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    c = b0 & 0x07;
    len = 4;
    min = 0x10000;
  } else {
    return std::nullopt;
  }
  if (i + len > text.size()) return std::nullopt;
  for (std::size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(text[i + k]);
    if ((b & 0xC0) != 0x80) return std::nullopt;
    c = (c << 6) | (b & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
  *at = i + len;
  return c;
}

// Calls visit(c) for every code point of valid UTF-8 text, stopping when it
// returns false; false for malformed text.
template <typename Visit>
bool ForEachCodePoint(std::string_view text, Visit visit) {
  for (std::size_t at = 0; at < text.size();) {
    const std::optional<char32_t> c = NextCodePoint(text, &at);
    if (!c) return false;
    if (!visit(*c)) break;
  }
  return true;
}

// Appends the UTF-8 form of `c` (to a std::string or a Secret).
template <typename Out>
void AppendUtf8(char32_t c, Out& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// UTF-8 text in a code page, appended to `out`; false when a character has
// no place in it (or the text is not valid UTF-8).
template <typename Out>
bool EncodeInto(const CodePage& page, std::string_view utf8, Out& out) {
  bool encodable = true;
  const bool valid = ForEachCodePoint(utf8, [&](char32_t c) {
    const auto b = page.FromUnicode(c);
    if (b) out.push_back(static_cast<char>(*b));
    encodable = b.has_value();
    return encodable;
  });
  return valid && encodable;
}

// The text with the letters of Windows-1250 made capitals, appended to
// `out`; malformed text is taken as it is.
template <typename Out>
void UpperCaseInto(std::string_view utf8, Out& out) {
  if (!ForEachCodePoint(utf8, [](char32_t) { return true; })) {
    for (const char b : utf8) out.push_back(b);
    return;
  }
  const CodePage& page = AnsiCodePage();
  (void)ForEachCodePoint(utf8, [&](char32_t c) {
    if (const auto b = page.FromUnicode(c)) c = page.ToUnicode(AnsiUpperCaseByte(*b));
    AppendUtf8(c, out);
    return true;
  });
}

}  // namespace

std::optional<std::u32string> DecodeUtf8(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  if (!ForEachCodePoint(text, [&](char32_t c) {
        out.push_back(c);
        return true;
      })) {
    return std::nullopt;
  }
  return out;
}

std::string EncodeUtf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char32_t c : text) AppendUtf8(c, out);
  return out;
}

std::size_t CharacterCount(std::string_view text) {
  std::size_t count = 0;
  const bool valid = ForEachCodePoint(text, [&](char32_t) {
    ++count;
    return true;
  });
  return valid ? count : text.size();
}

std::string FirstCharacters(std::string_view text, std::size_t count) {
  const auto decoded = DecodeUtf8(text);
  if (!decoded) return std::string(text.substr(0, count));
  return EncodeUtf8(std::u32string_view(*decoded).substr(0, count));
}

std::string_view TrimControl(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
  return text.substr(begin, end - begin);
}

CodePage::CodePage(const char* iconv_name) {
  iconv_t cd = ::iconv_open("UTF-32LE", iconv_name);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    throw std::runtime_error(std::string("The code page ") + iconv_name + " is not available");
  }
  for (unsigned b = 0; b < 256; ++b) {
    char in = static_cast<char>(b);
    unsigned char out[8] = {};
    char* in_ptr = &in;
    std::size_t in_left = 1;
    char* out_ptr = reinterpret_cast<char*>(out);
    std::size_t out_left = sizeof out;
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    const std::size_t r = ::iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
    char32_t c = b;  // undefined bytes map to the code of the same number
    if (r != static_cast<std::size_t>(-1) && sizeof out - out_left == 4) {
      c = static_cast<char32_t>(out[0] | (out[1] << 8) | (out[2] << 16) | (out[3] << 24));
    }
    to_unicode_[b] = c;
  }
  ::iconv_close(cd);
  for (unsigned b = 0; b < 256; ++b)
    from_unicode_.emplace(to_unicode_[b], static_cast<unsigned char>(b));
}

std::optional<unsigned char> CodePage::FromUnicode(char32_t c) const {
  const auto it = from_unicode_.find(c);
  if (it == from_unicode_.end()) return std::nullopt;
  return it->second;
}

std::optional<std::string> CodePage::Encode(std::string_view utf8) const {
  std::string out;
  out.reserve(utf8.size());
  if (!EncodeInto(*this, utf8, out)) return std::nullopt;
  return out;
}

std::optional<Secret> CodePage::EncodeSecret(std::string_view utf8) const {
  Secret out;
  if (!EncodeInto(*this, utf8, out)) return std::nullopt;
  return out;
}

std::string CodePage::Decode(std::string_view bytes) const {
  std::u32string text;
  text.reserve(bytes.size());
  for (const char b : bytes) text.push_back(to_unicode_[static_cast<unsigned char>(b)]);
  return EncodeUtf8(text);
}

std::string CodePage::FirstUnencodable(std::string_view utf8) const {
  std::string first;
  const bool valid = ForEachCodePoint(utf8, [&](char32_t c) {
    if (FromUnicode(c)) return true;
    AppendUtf8(c, first);
    return false;
  });
  return valid ? first : std::string();
}

const CodePage& AnsiCodePage() {
  static const CodePage page("CP1250");
  return page;
}

const CodePage& OemCodePage() {
  static const CodePage page("CP852");
  return page;
}

unsigned char AnsiUpperCaseByte(unsigned char b) {
  if (b >= 'a' && b <= 'z') return static_cast<unsigned char>(b - 0x20);
  if (b >= 0xE0 && b <= 0xFE && b != 0xF7) return static_cast<unsigned char>(b - 0x20);
  switch (b) {
    case 0x9A:  // s caron
    case 0x9C:  // s acute
    case 0x9D:  // t caron
    case 0x9E:  // z caron
    case 0x9F:  // z acute
      return static_cast<unsigned char>(b - 0x10);
    case 0xB3:  // l stroke
      return 0xA3;
    case 0xB9:  // a ogonek
      return 0xA5;
    case 0xBA:  // s cedilla
      return 0xAA;
    case 0xBE:  // l caron
      return 0xBC;
    case 0xBF:  // z dot above
      return 0xAF;
    default:
      return b;
  }
}

std::string AnsiUpperCase(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  UpperCaseInto(utf8, out);
  return out;
}

Secret AnsiUpperCaseSecret(std::string_view utf8) {
  Secret out;
  UpperCaseInto(utf8, out);
  return out;
}

}  // namespace talvor

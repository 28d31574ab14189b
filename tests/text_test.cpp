#include <gtest/gtest.h>

#include "platform/text.h"

namespace talvor {
namespace {

TEST(CodePageTest, CentralEuropeanLettersTakeOneByteEach) {
  const struct {
    const char* utf8;
    const char* cp1250;
  } table[] = {
      {"ZA\xC5\xBB\xC3\x93\xC5\x81\xC4\x86", "ZA\xAF\xD3\xA3\xC6"},  // ZAŻÓŁĆ
      {"\xC4\x85\xC5\x9B\xC5\xBA", "\xB9\x9C\x9F"},                  // ąśź
      {"\xE2\x82\xAC", "\x80"},                                      // euro sign
      {"\xC3\x9F", "\xDF"},                                          // sharp s
  };
  for (const auto& row : table) {
    EXPECT_EQ(AnsiCodePage().Encode(row.utf8), std::optional<std::string>(row.cp1250)) << row.utf8;
    EXPECT_EQ(AnsiCodePage().Decode(row.cp1250), row.utf8);
  }
}

TEST(CodePageTest, CharactersOutsideTheCodePageAreNotEncoded) {
  EXPECT_EQ(AnsiCodePage().Encode("\xD0\x96"), std::nullopt);  // Cyrillic Zhe
  EXPECT_EQ(AnsiCodePage().Encode("\xE2\x98\x83"), std::nullopt);
  EXPECT_EQ(AnsiCodePage().Encode("\xFF\xFE"), std::nullopt);  // not UTF-8
  EXPECT_EQ(AnsiCodePage().FirstUnencodable("AB\xD0\x96"
                                            "C"),
            "\xD0\x96");
  EXPECT_EQ(AnsiCodePage().FirstUnencodable("ABC"), "");
}

TEST(CodePageTest, EveryByteSurvivesARoundTrip) {
  for (const CodePage* page : {&AnsiCodePage(), &OemCodePage()}) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    EXPECT_EQ(page->Encode(page->Decode(all)), std::optional<std::string>(all));
  }
}

TEST(CodePageTest, OemPageIsCodePage852) {
  EXPECT_EQ(OemCodePage().Decode("\xA5\x86\xE0"), "\xC4\x85\xC4\x87\xC3\x93");  // ąćÓ
}

TEST(UpperCaseTest, ConvertsLettersThatHaveACapitalInTheCodePage) {
  const std::pair<const char*, const char*> table[] = {
      {"abc xyz 123", "ABC XYZ 123"},
      {"za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87", "ZA\xC5\xBB\xC3\x93\xC5\x81\xC4\x86"},  // zażółć
      {"\xC4\x85\xC4\x99\xC5\x9B\xC5\xBA\xC5\x84", "\xC4\x84\xC4\x98\xC5\x9A\xC5\xB9\xC5\x83"},
      {"\xC5\xA1\xC5\xBE\xC4\xBE\xC5\xA5", "\xC5\xA0\xC5\xBD\xC4\xBD\xC5\xA4"},  // šžľť
      {"\xC3\x9F", "\xC3\x9F"},                                                  // ß stays
      {"\xC2\xB5", "\xC2\xB5"},                                                  // µ stays
      {"\xC3\xB7", "\xC3\xB7"},                                                  // ÷ stays
      {"\xD0\xB6", "\xD0\xB6"},  // a Cyrillic letter is not the field's business
  };
  for (const auto& [in, out] : table) EXPECT_EQ(AnsiUpperCase(in), out) << in;
}

TEST(TextTest, CountsAndTrims) {
  EXPECT_EQ(CharacterCount("za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87"), 6U);
  EXPECT_EQ(FirstCharacters("\xC4\x85\xC4\x85\xC4\x85", 2), "\xC4\x85\xC4\x85");
  EXPECT_EQ(TrimControl(std::string_view("\t\x01 ab c \r\n", 10)), "ab c");
  EXPECT_EQ(TrimControl("              "), "");
  EXPECT_EQ(TrimControl(std::string_view("\0x\0", 3)), "x");
}

}  // namespace
}  // namespace talvor

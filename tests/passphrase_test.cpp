#include <gtest/gtest.h>

#include "protect/passphrase.h"

namespace talvor {
namespace {

using Verdict = PassphraseCheck::Verdict;

struct CheckCase {
  std::string first;
  std::string second;
  Verdict verdict;
  std::string message_or_passphrase;
  Direction direction = Direction::kDecrypt;
};

class PassphraseCheckTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(PassphraseCheckTest, ChecksInTheWindowsOrder) {
  const CheckCase& c = GetParam();
  const PassphraseCheck check = CheckPassphrase(c.first, c.second, c.direction);
  EXPECT_EQ(check.verdict, c.verdict);
  if (c.verdict == Verdict::kAccepted) {
    EXPECT_EQ(check.passphrase.view(), c.message_or_passphrase);
  } else {
    EXPECT_EQ(check.message, c.message_or_passphrase);
  }
}

std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

const std::string k13 = "ABCDEFGHIJKLM";
const std::string k14 = "ABCDEFGHIJKLMN";

INSTANTIATE_TEST_SUITE_P(
    Table, PassphraseCheckTest,
    ::testing::Values(
        CheckCase{"", "SOMETHING ELSE", Verdict::kEmpty, "Password???"},
        CheckCase{k13, k13, Verdict::kTooShort,
                  "The required password length is at least 14 characters!"},
        // Thirteen characters and a blank pass the length check.
        CheckCase{k13 + " ", k13 + " ", Verdict::kAccepted, k13},
        // Fourteen blanks pass too and give an empty pass phrase, which files
        // made so need for decrypting; encrypting wants 14 characters left.
        CheckCase{std::string(14, ' '), std::string(14, ' '), Verdict::kAccepted, ""},
        CheckCase{std::string(14, ' '), std::string(14, ' '), Verdict::kTooShort,
                  kPasswordBlanksText, Direction::kEncrypt},
        CheckCase{"	" + k13 + " ", "	" + k13 + " ", Verdict::kTooShort,
                  kPasswordBlanksText, Direction::kEncrypt},
        CheckCase{" " + k14 + "	", " " + k14 + "	", Verdict::kAccepted, k14,
                  Direction::kEncrypt},
        // Length counts characters, not bytes: 13 two-byte letters are short.
        CheckCase{Repeat("\xC4\x84", 13), Repeat("\xC4\x84", 13), Verdict::kTooShort,
                  "The required password length is at least 14 characters!"},
        CheckCase{k14, k14 + "X", Verdict::kMismatch,
                  "Your Password and Re-enter password do not match!"},
        CheckCase{k14, "", Verdict::kMismatch, "Your Password and Re-enter password do not match!"},
        CheckCase{"\tZA\xC5\xBB\xC3\x93\xC5\x81\xC4\x86 GESLA JA\xC5\x83 \r",
                  "\tZA\xC5\xBB\xC3\x93\xC5\x81\xC4\x86 GESLA JA\xC5\x83 \r", Verdict::kAccepted,
                  "ZA\xAF\xD3\xA3\xC6 GESLA JA\xD1"},
        // Text in another code page than UTF-8: nothing of it is shown.
        CheckCase{"MY SECRET PHRASE CAF\xC9 2024", "MY SECRET PHRASE CAF\xC9 2024",
                  Verdict::kUnusableCharacter, kPasswordNotUtf8Text},
        CheckCase{"PASSWORD \xD0\x96\xD0\x96 LONG", "PASSWORD \xD0\x96\xD0\x96 LONG",
                  Verdict::kUnusableCharacter,
                  "The password contains the character \"\xD0\x96\", which the Central European "
                  "(Windows-1250) character set does not hold. Please use other characters!"}));

TEST(PasswordFieldTest, ConvertsToCapitalsAndHoldsAtMost401Characters) {
  EXPECT_EQ(PasswordFieldText("secret \xC5\xBC\xC3\xB3\xC5\x82w"),
            "SECRET \xC5\xBB\xC3\x93\xC5\x81W");
  EXPECT_EQ(PasswordFieldText(std::string(500, 'a')), std::string(401, 'A'));
  EXPECT_EQ(PasswordFieldText(Repeat("\xC4\x85", 402)), Repeat("\xC4\x84", 401));
}

TEST(PasswordFieldTest, EitherCaseGivesTheSamePassphrase) {
  const std::string lower = PasswordFieldText("correct horse battery");
  const std::string upper = PasswordFieldText("CORRECT HORSE BATTERY");
  EXPECT_EQ(CheckPassphrase(lower, lower, Direction::kEncrypt).passphrase,
            CheckPassphrase(upper, upper, Direction::kEncrypt).passphrase);
}

TEST(SecretTest, KeepsItsBytesThroughGrowthAndMoves) {
  Secret secret("VERY SECRET");
  secret.Append(std::string(100, 'P'));  // grows into a larger buffer
  Secret moved = std::move(secret);
  EXPECT_EQ(moved.view(), "VERY SECRET" + std::string(100, 'P'));
  EXPECT_TRUE(secret.empty());  // NOLINT(bugprone-use-after-move): moved-from is empty
  std::string typed = "TYPED PHRASE";
  EXPECT_EQ(Secret::TakeFrom(typed).view(), "TYPED PHRASE");
  EXPECT_TRUE(typed.empty());
}

}  // namespace
}  // namespace talvor

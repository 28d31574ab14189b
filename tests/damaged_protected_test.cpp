// Protected files that were cut short, extended, bit-flipped or had their
// header damaged: every decrypt routine either refuses them with a clear
// message, leaving the folder as it was, or (where the method has no check
// that could notice) writes a result; it never crashes and never leaves a
// working file, a work folder or a half-written result behind. The check of
// a file raises what decrypting raises, writing nothing; and no routine
// writes a result that would be its own source.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include <unistd.h>

#include "fakes.h"
#include "platform/failure.h"
#include "protect/library_ciphers.h"
#include "protect/random_protection.h"
#include "protect/trap.h"
#include "test_support.h"

namespace talvor {
namespace {

using testing::CurrentDirGuard;
using testing::ListNames;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// The protected files under tests/data/protected were made by the program
// from sample.txt, block.bin and empty.dat with this pass phrase.
const std::string kPass = "FUZZING PASSPHRASE";
const std::string kData = TALVOR_TEST_DATA "/protected/";
const std::string kWrongOrDamaged = "Wrong password or damaged file";

enum class Method { kTrap, kOrm, kBlowfish, kRijndael, kRandom };

struct MethodCase {
  const char* name;
  Method method;
  const char* extension;
  std::size_t block;  // the cipher's block size (1 for TRAP and its bytes)
};

const MethodCase kMethods[] = {
    {"Trap", Method::kTrap, ".trp", 1},         {"Orm", Method::kOrm, ".orm", 8},
    {"Blowfish", Method::kBlowfish, ".blf", 8}, {"Rijndael", Method::kRijndael, ".rnl", 16},
    {"Random", Method::kRandom, ".erh", 16},
};

// What one run of a decrypt routine did.
struct Outcome {
  bool refused = false;
  std::string message;
  std::string result;  // the result's content when not refused
  std::string result_name;
};

class DamagedFileTest : public ::testing::TestWithParam<MethodCase> {
 protected:
  DamagedFileTest() { std::filesystem::current_path(dir_.path()); }

  std::string Fixture(const std::string& base) const {
    return ReadFile(kData + base + GetParam().extension);
  }

  std::string Decrypt(const std::string& path) {
    return MethodByExtension(GetParam().extension)->decrypt(services_, path, kPass);
  }

  // Decrypts `bytes` as "<base><ext>" and checks what is left in the folder.
  Outcome Run(const std::string& bytes, const std::string& label,
              const std::string& base = "sample") {
    const std::string name = base + GetParam().extension;
    WriteFile(dir_ / name, bytes);
    Outcome outcome;
    std::string result;
    try {
      result = Decrypt(dir_ / name);
    } catch (const std::exception& e) {
      outcome.refused = true;
      outcome.message = e.what();
    }
    if (outcome.refused) {
      EXPECT_FALSE(outcome.message.empty()) << label;
      EXPECT_EQ(ListNames(dir_.path()), name) << label << ": " << outcome.message;
    } else {
      const std::string result_name = result.substr(result.rfind('/') + 1);
      outcome.result_name = result_name;
      const std::set<std::string> expected = {name, result_name};
      std::string names;
      for (const std::string& n : expected) names += (names.empty() ? "" : " ") + n;
      EXPECT_EQ(ListNames(dir_.path()), names) << label;
      outcome.result = ReadFile(result);
      if (result_name != name) (void)std::remove(result.c_str());
    }
    if (outcome.result.empty() || result.substr(result.rfind('/') + 1) != name) {
      EXPECT_EQ(ReadFile(dir_ / name), bytes) << label << ": the protected file changed";
    }
    (void)std::remove((dir_ / name).c_str());
    return outcome;
  }

  TempDir dir_{"/dev/shm"};
  CurrentDirGuard cwd_;
  PosixFileSystem fs_;
  RandomGenerator random_;
  testing::FakeClock clock_;
  Job job_;
  RoutineServices services_{fs_, random_, clock_, job_};
};

TEST_P(DamagedFileTest, UndamagedFixturesDecrypt) {
  for (const auto& [base, plain] :
       {std::pair{"sample", "sample.txt"}, {"block", "block.bin"}, {"empty", "empty.dat"}}) {
    const Outcome outcome = Run(Fixture(base), base, base);
    ASSERT_FALSE(outcome.refused) << base << ": " << outcome.message;
    EXPECT_EQ(outcome.result, ReadFile(kData + plain)) << base;
  }
}

// Every length the file can be cut to, and every byte turned over: each run
// is checked by Run(); the methods with a final-block check must refuse
// every cut that breaks the block structure.
TEST_P(DamagedFileTest, EveryCutAndEveryFlippedByte) {
  const std::string original = Fixture("sample");
  const std::string plain = ReadFile(kData + "sample.txt");
  const MethodCase& m = GetParam();
  int refused = 0;
  // Random protection's archive checks its headers and the CRC of its data.
  const bool checks_everything = m.method == Method::kRandom;
  for (std::size_t length = 0; length < original.size(); ++length) {
    const Outcome outcome = Run(original.substr(0, length), "cut to " + std::to_string(length));
    refused += outcome.refused;
    if (checks_everything) {
      EXPECT_TRUE(outcome.refused) << "cut to " << length;
    }
    if (m.method == Method::kOrm || m.method == Method::kBlowfish ||
        m.method == Method::kRijndael) {
      const std::size_t header = 5;  // "4" and the masked ".txt"
      if (length < header || (length - header) % m.block != 0) {
        EXPECT_TRUE(outcome.refused) << "cut to " << length;
      }
    }
    if (!outcome.refused) {
      EXPECT_NE(outcome.result, plain) << "cut to " << length;
    }
  }
  for (std::size_t at = 0; at < original.size(); ++at) {
    std::string flipped = original;
    flipped[at] = static_cast<char>(flipped[at] ^ 0xFF);
    const Outcome outcome = Run(flipped, "flipped at " + std::to_string(at));
    refused += outcome.refused;
    if (checks_everything) {
      EXPECT_TRUE(outcome.refused) << "flipped at " << at;
    }
    if (!outcome.refused) {
      EXPECT_TRUE(outcome.result != plain || outcome.result_name != "sample.txt")
          << "flipped at " << at;
    }
  }
  EXPECT_GT(refused, 0);
}

struct Damage {
  const char* name;
  std::function<std::string(const std::string& file, std::size_t block)> apply;
  // Whether each method refuses it (Trap, Orm, Blowfish, Rijndael, Random).
  bool refused[5];
};

const Damage kDamages[] = {
    {"Empty",
     [](const std::string&, std::size_t) { return std::string(); },
     {true, true, true, true, true}},
    {"OnlyTheCountDigit",
     [](const std::string& f, std::size_t) { return f.substr(0, 1); },
     {true, true, true, true, true}},
    {"CutByOneByte",
     [](const std::string& f, std::size_t) { return f.substr(0, f.size() - 1); },
     {false, true, true, true, true}},
    {"CutByOneBlock",
     [](const std::string& f, std::size_t block) { return f.substr(0, f.size() - block); },
     {false, true, true, true, true}},
    // Whole blocks are read and what follows them is ignored, as is what
    // follows the archive's last entry.
    {"ExtendedByOneByte",
     [](const std::string& f, std::size_t) { return f + "x"; },
     {false, false, false, false, false}},
    {"ExtendedByOneBlock",
     [](const std::string& f, std::size_t block) { return f + std::string(block, '\0'); },
     {false, true, true, true, false}},
    {"LastByteFlipped",
     [](const std::string& f, std::size_t) {
       std::string d = f;
       d.back() = static_cast<char>(d.back() ^ 1);
       return d;
     },
     // The Blowfish-structured block operation passes the flip straight
     // through: the final block then counts one byte of zero more.
     {false, true, false, true, true}},
    {"CountDigitNotADigit",
     [](const std::string& f, std::size_t) { return "x" + f.substr(1); },
     {true, true, true, true, true}},
    {"CountDigitTooLarge",
     [](const std::string& f, std::size_t) { return "9" + f.substr(1); },
     {false, true, true, true, true}},
};

TEST_P(DamagedFileTest, KnownDamages) {
  const MethodCase& m = GetParam();
  const std::string original = Fixture("sample");
  for (const Damage& damage : kDamages) {
    const Outcome outcome = Run(damage.apply(original, m.block), damage.name);
    EXPECT_EQ(outcome.refused, damage.refused[static_cast<int>(m.method)])
        << damage.name << ": " << outcome.message;
    if (std::string(damage.name) == "ExtendedByOneByte" && m.method != Method::kTrap) {
      EXPECT_EQ(outcome.result, ReadFile(kData + "sample.txt")) << "nothing lost";
    }
  }
}

// The check of a file, for the intact file, a wrong pass phrase and each
// damage: the same failure as decrypting, or none, and nothing written.
TEST_P(DamagedFileTest, VerifyRaisesWhatDecryptingRaises) {
  const MethodCase& m = GetParam();
  const ProtectionMethod& method = *MethodByExtension(m.extension);
  const std::string name = std::string("sample") + m.extension;
  const auto verify = [&](const std::string& bytes, const std::string& pass) {
    WriteFile(dir_ / name, bytes);
    std::string message;
    try {
      method.verify(services_, dir_ / name, pass);
    } catch (const std::exception& e) {
      message = e.what();
    }
    EXPECT_EQ(ListNames(dir_.path()), name);
    (void)std::remove((dir_ / name).c_str());
    return message;
  };
  const std::string original = Fixture("sample");
  EXPECT_EQ(verify(original, kPass), "");
  EXPECT_EQ(verify(original, "ANOTHER PASS PHRASE"),
            method.can_tell_wrong_passphrase ? kWrongOrDamaged : "");
  for (const Damage& damage : kDamages) {
    const std::string bytes = damage.apply(original, m.block);
    EXPECT_EQ(verify(bytes, kPass), Run(bytes, damage.name).message) << damage.name;
  }
}

// A command whose result would be its own source is refused before anything
// is written: a source that has the method's extension already, and another
// name of the same file (a hard link), either way.
TEST_P(DamagedFileTest, AResultThatWouldBeItsSourceIsRefused) {
  const std::string ext = GetParam().extension;
  const ProtectionMethod& method = *MethodByExtension(ext);
  const auto refused = [&](Direction direction, const std::string& path) {
    const std::string names = ListNames(dir_.path());
    EXPECT_TRUE(testing::RaisesFailure(FailureKind::kRefused, [&] {
      (void)method.routine(direction)(services_, path, kPass);
    })) << path;
    EXPECT_EQ(ListNames(dir_.path()), names) << path;
    EXPECT_EQ(ReadFile(path).size(), 8U) << path;
  };
  WriteFile(dir_ / ("notes" + ext), "precious");
  refused(Direction::kEncrypt, dir_ / ("notes" + ext));
  WriteFile(dir_ / "a.txt", "precious");
  ASSERT_EQ(::link((dir_ / "a.txt").c_str(), (dir_ / ("a" + ext)).c_str()), 0);
  refused(Direction::kEncrypt, dir_ / "a.txt");
  refused(Direction::kEncrypt, dir_ / ("a" + ext));
  // A protected file whose recorded name is another name of itself.
  WriteFile(dir_ / "b.txt", "precious");
  const std::string protected_file = method.encrypt(services_, dir_ / "b.txt", kPass);
  ::unlink((dir_ / "b.txt").c_str());
  ASSERT_EQ(::link(protected_file.c_str(), (dir_ / "b.txt").c_str()), 0);
  const std::string names = ListNames(dir_.path());
  EXPECT_TRUE(testing::RaisesFailure(
      FailureKind::kRefused, [&] { (void)method.decrypt(services_, protected_file, kPass); }));
  EXPECT_EQ(ListNames(dir_.path()), names);
}

INSTANTIATE_TEST_SUITE_P(Methods, DamagedFileTest, ::testing::ValuesIn(kMethods),
                         testing::ByName());

}  // namespace
}  // namespace talvor

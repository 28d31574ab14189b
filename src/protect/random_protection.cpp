#include "protect/random_protection.h"

#include <vector>

#include "cipher/block_modes.h"
#include "cipher/key_derivation.h"
#include "platform/failure.h"
#include "platform/path.h"
#include "platform/progress.h"
#include "platform/replacing_file.h"
#include "platform/secret.h"
#include "protect/extension.h"
#include "protect/shred_file.h"
#include "protect/working_file.h"

namespace talvor {

namespace {

constexpr std::int32_t kKeySize = 16;

// A folder beside the source that belongs to this command alone: the
// intermediates (the Rijndael stream, the .xxr file, the .lha archive) live
// there under the names the format needs, so they can never meet a user's
// files. It goes, with whatever it holds, when the command ends; folders
// that killed runs left behind go when the next one starts.
class WorkFolder {
 public:
  WorkFolder(FileSystem& fs, const std::string& beside) : fs_(fs), path_(Make(fs, beside)) {}
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;
  ~WorkFolder() {
    try {
      for (const std::string& name : fs_.ListFiles(path_)) fs_.Delete(JoinPath(path_, name));
      fs_.RemoveDirectory(path_);
    } catch (...) {  // NOLINT(bugprone-empty-catch): the command's own outcome stands
    }
  }
  [[nodiscard]] std::string operator/(const std::string& name) const {
    return JoinPath(path_, name);
  }
  [[nodiscard]] const std::string& path() const { return path_; }

 private:
  static std::string Make(FileSystem& fs, const std::string& beside) {
    fs.RemoveAbandonedTemporaries(beside);
    return fs.CreateTemporaryFolderBeside(beside);
  }

  FileSystem& fs_;
  std::string path_;
};

// The first error an archive component reports during one operation.
class FirstError {
 public:
  explicit FirstError(TZipCommon& component) : component_(component) {
    component_.OnError = [this](const ArchiveError& e) {
      // The file it names is an intermediate of ours, which means nothing
      // to the user.
      if (text_.empty()) text_ = ArchiveErrorLine({e.code, {}, e.extra});
    };
  }
  FirstError(const FirstError&) = delete;
  FirstError& operator=(const FirstError&) = delete;
  ~FirstError() { component_.OnError = nullptr; }
  [[nodiscard]] const std::string& text() const { return text_; }

 private:
  TZipCommon& component_;
  std::string text_;
};

void CopyMaskedFile(FileSystem& fs, const std::string& from, File& to, std::uint8_t mask) {
  File in = fs.OpenExisting(from);
  CopyBytes(in, to, mask);
  in.Close();
}

}  // namespace

int PickProtectionChoice(RandomGenerator& random, Clock& clock) {
  bool started = false;
  std::uint32_t last_start = 0;
  for (;;) {
    random.Randomize(clock);
    // A clock that has not moved would give the same draws again.
    if (started && random.state() == last_start) random.set_state(last_start + 0x9E3779B9U);
    started = true;
    last_start = random.state();
    const std::uint32_t m = random.Random(37);
    const std::uint32_t r = random.Random(m + 3);
    if (r >= 1 && r <= 5) return static_cast<int>(r);
  }
}

Secret EffectivePassphrase(int choice, std::string_view passphrase) {
  std::string_view before;
  std::string_view after;
  switch (choice) {
    case 1:
      before = "bqty81m";
      break;
    case 2:
      before = "lumkddd3316";
      break;
    case 3:
      after = "82hjotnc5yyfre";
      break;
    case 4:
      before = "77712gjkPPWW";
      after = "hhh29";
      break;
    case 5:
      before = "t442";
      break;
    default:
      break;
  }
  Secret effective(before);
  effective.Append(passphrase);
  effective.Append(after);
  return effective;
}

RandomProtection::RandomProtection(RoutineServices& services)
    : Lha1(services.fs), UnLha1(services.fs), services_(services) {
  Lha1.SetDefaultExt(".lha");
  Lha1.SetCompressMethod(TCompressMethod::cmFrozen6);
}

std::string RandomProtection::EncryptErh(const std::string& source, std::string_view passphrase) {
  const int choice = PickProtectionChoice(services_.random, services_.clock);
  const Secret effective = EffectivePassphrase(choice, passphrase);
  return BuildErh(source, effective.view(), choice);
}

std::string RandomProtection::BuildErh(const std::string& source, std::string_view effective,
                                       int choice) {
  FileSystem& fs = services_.fs;
  const std::string extension = RecordedExtension(source, kMaxHeaderExtension);
  if (!fs.Stat(source).exists) RaiseIoError(io_code::kFileNotFound, source);
  const WorkFolder work(fs, source);
  const std::string base = ExtractFileName(ChangeFileExt(source, ""));
  const std::string stream = work / kWorkingFileName;
  const std::string xxr = work / (base + ".xxr");
  const std::string lha = work / (base + ".lha");

  // Enciphering; writing the layer and destroying the stream; packing it;
  // writing the masked archive; destroying the layer and the archive (whose
  // size is estimated: its headers are small).
  const auto plain = static_cast<std::uint64_t>(fs.Stat(source).size);
  const std::uint64_t cipher = 16 * (plain / 16 + 1);
  const std::uint64_t layer = 2 + extension.size() + cipher;
  const std::uint64_t archive = layer + 64;
  ExpectedWork expected(plain + cipher + ShredWork(cipher) + layer + archive + ShredWork(layer) +
                        ShredWork(archive));

  {
    Secret cipher_key(kKeySize);
    DeriveKeyFromPassphrase(cipher_key.bytes(), kKeySize, effective);
    RijndaelFileECB(fs, source, stream, cipher_key.bytes(), kKeySize, true);
  }
  {
    File out = fs.Create(xxr);
    out.WriteByte(static_cast<std::uint8_t>('0' + choice));
    WriteExtensionHeader(out, extension);
    CopyMaskedFile(fs, stream, out, 0);
    out.Close();
  }
  ShredFile(fs, services_.random, services_.clock, stream);

  {
    const FirstError error(Lha1);
    Lha1.SetArchiveFile(lha);
    Lha1.FileSpec = {xxr};
    if (Lha1.Compress() == 0) {
      throw Failure(error.text().empty() ? IoErrorText(io_code::kFileNotFound) : error.text());
    }
  }
  ReplacingFile erh(fs, ChangeFileExt(source, kErhExtension));
  CopyMaskedFile(fs, lha, erh.file(), kBodyMask);
  erh.Commit();
  // The result is complete: clearing up is not cancelled.
  const CancellationScope clearing_up({});
  ShredFile(fs, services_.random, services_.clock, xxr);
  ShredFile(fs, services_.random, services_.clock, lha);
  expected.Finish();
  return erh.target();
}

std::string RandomProtection::DecryptErh(const std::string& source, std::string_view passphrase) {
  FileSystem& fs = services_.fs;
  File in = fs.OpenExisting(source);
  // Unmasking, unpacking, destroying the archive; the rest once the size of
  // the layer is known.
  const auto size = static_cast<std::uint64_t>(in.Size());
  ExpectedWork expected(2 * size + ShredWork(size));
  const WorkFolder work(fs, source);
  const std::string base = ExtractFileName(ChangeFileExt(source, ""));
  const std::string lha = work / (base + ".lha");
  const std::string xxr = work / (base + ".xxr");
  const std::string stream = work / kWorkingFileName;
  {
    File out = fs.Create(lha);
    CopyBytes(in, out, kBodyMask);
    out.Close();
  }
  in.Close();
  {
    // Only the expected entry, and only into the work folder.
    const FirstError error(UnLha1);
    UnLha1.SetArchiveFile(lha);
    // The entry's name went through the archive's code page.
    const std::string entry = UnLha1.FromStoredName(UnLha1.ToStoredName(base + ".xxr"));
    UnLha1.FileSpec = {entry};
    UnLha1.SetExtractDir(work.path());
    UnLha1.Extract();
    std::string extracted = entry;
    if (!fs.Stat(work / entry).is_regular) {
      // A protected file renamed after encryption still holds its entry
      // under the old name: take the archive's one entry instead.
      std::vector<std::string> names;
      UnLha1.List([&](const ArchiveEntry& e) {
        if (!e.is_folder) names.push_back(e.name);
      });
      if (names.size() == 1 && names[0].find('/') == std::string::npos) {
        extracted = names[0];
        UnLha1.FileSpec = {extracted};
        UnLha1.Extract();
      }
    }
    if (extracted != base + ".xxr" && fs.Stat(work / extracted).is_regular) {
      fs.Move(work / extracted, xxr);
    }
    if (!fs.Stat(xxr).is_regular) {
      throw Failure(error.text().empty() ? IoErrorText(io_code::kFileNotFound) : error.text());
    }
  }
  File layer = fs.OpenExisting(xxr);
  // Copying out the stream, deciphering it, destroying the layer and it.
  const auto layer_size = static_cast<std::uint64_t>(layer.Size());
  expected.Add(2 * layer_size + ShredWork(layer_size) + ShredWork(layer_size));
  const std::size_t choice = ReadCountDigit(layer);
  const std::string extension = ReadExtensionHeader(layer);
  {
    File out = fs.Create(stream);
    CopyBytes(layer, out);
    out.Close();
  }
  layer.Close();
  ShredFile(fs, services_.random, services_.clock, lha);

  ReplacingFile result(fs, ChangeFileExt(source, extension));
  {
    Secret cipher_key(kKeySize);
    DeriveKeyFromPassphrase(cipher_key.bytes(), kKeySize,
                            EffectivePassphrase(static_cast<int>(choice), passphrase).view());
    File cipher = OpenCipherInput(fs, stream);
    RijndaelStreamECB(cipher, result.file(), cipher_key.bytes(), kKeySize, false);
    cipher.Close();
  }
  result.Commit();
  // The result is complete: clearing up is not cancelled.
  const CancellationScope clearing_up({});
  ShredFile(fs, services_.random, services_.clock, xxr);
  ShredFile(fs, services_.random, services_.clock, stream);
  expected.Finish();
  return result.target();
}

std::string EncryptErh(RoutineServices& services, const std::string& source,
                       std::string_view passphrase) {
  return RandomProtection(services).EncryptErh(source, passphrase);
}

std::string DecryptErh(RoutineServices& services, const std::string& source,
                       std::string_view passphrase) {
  return RandomProtection(services).DecryptErh(source, passphrase);
}

}  // namespace talvor

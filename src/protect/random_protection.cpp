#include "protect/random_protection.h"

#include <cstring>
#include <ctime>
#include <exception>
#include <optional>
#include <vector>

#include "archive/dos_time.h"
#include "archive/file_scan.h"
#include "cipher/block_modes.h"
#include "cipher/key_derivation.h"
#include "platform/failure.h"
#include "platform/path.h"
#include "platform/progress.h"
#include "platform/replacing_file.h"
#include "protect/erh_archive.h"
#include "protect/extension.h"

namespace talvor {

namespace {

constexpr std::int32_t kKeySize = 16;
constexpr std::size_t kChunk = 1 << 20;

Secret LayerKey(std::string_view effective) {
  Secret key(static_cast<std::size_t>(kKeySize));
  DeriveKeyFromPassphrase(key.bytes(), kKeySize, effective);
  return key;
}

// The layer of a source: the choice digit, the extension header and the
// source enciphered, made afresh from the source each time it is read.
class SourceLayer final : public LayerSource {
 public:
  SourceLayer(File& source, std::string prefix, const Secret& key, Clock& clock, Job& job)
      : source_(source),
        prefix_(std::move(prefix)),
        key_(key),
        clock_(clock),
        job_(job),
        plain_(kChunk) {
    Start();
  }

  std::size_t Read(std::uint8_t* data, std::size_t n) override {
    while (ready_at_ == ready_.size()) {
      if (ended_) return 0;
      Refill();
    }
    const std::size_t k = std::min(n, ready_.size() - ready_at_);
    std::memcpy(data, ready_.data() + ready_at_, k);
    ready_at_ += k;
    return k;
  }

  void Rewind() override {
    job_.Expect(static_cast<std::uint64_t>(source_.Size()));  // read once more
    source_.Seek(0);
    Start();
  }

  [[nodiscard]] bool BlocksRepeat() const noexcept override { return repeat_; }

 private:
  void Start() {
    ready_.assign(prefix_.begin(), prefix_.end());
    ready_at_ = 0;
    ended_ = false;
    repeat_ = false;
    watch_.emplace();
    stream_.emplace(LibraryMethod::kRijndaelEcb, key_.bytes(), true, clock_,
                    [this](std::uint8_t* data, std::size_t n) {
                      if (watch_->Add(data, n / 16)) repeat_ = true;
                      ready_.insert(ready_.end(), data, data + n);
                    });
  }

  void Refill() {
    ready_.clear();
    ready_at_ = 0;
    const std::size_t n = source_.Read(plain_.bytes(), kChunk);
    if (n == 0) {
      stream_->Finish();
      ended_ = true;
      return;
    }
    stream_->Process(plain_.bytes(), n);
    job_.Advance(n);
  }

  File& source_;
  const std::string prefix_;
  const Secret& key_;
  Clock& clock_;
  Job& job_;
  Secret plain_;
  std::optional<MethodStream> stream_;
  std::optional<RepeatWatch> watch_;
  std::vector<std::uint8_t> ready_;
  std::size_t ready_at_ = 0;
  bool ended_ = false;
  bool repeat_ = false;
};

// Takes the layer as the archive gives it: reads the choice and the
// extension header, then deciphers the stream into the result beside the
// .erh file (or into nothing). A fault in the layer's header is raised at
// Finish, once the archive's CRC check has had its say.
class LayerReader final : public ByteSink {
 public:
  LayerReader(RoutineServices& services, const std::string& source, std::string_view passphrase,
              bool keep)
      : services_(services),
        source_(source),
        passphrase_(passphrase),
        keep_(keep),
        buffer_(kChunk) {}

  void Write(const std::uint8_t* data, std::size_t n) override {
    while (n > 0 && !stream_) {
      if (error_) return;
      header_.push_back(static_cast<char>(*data++));
      --n;
      TryStart();
    }
    while (n > 0) {
      const std::size_t k = std::min(n, kChunk);
      std::memcpy(buffer_.bytes(), data, k);
      stream_->Process(buffer_.bytes(), k);
      data += k;
      n -= k;
    }
  }

  // The end of the layer: raises what was wrong with it, or finishes the
  // stream (which checks its final block).
  void Finish() {
    if (error_) std::rethrow_exception(error_);
    if (!stream_) RaiseIoError(io_code::kReadBeyondEnd);  // the header ends early
    stream_->Finish();
  }

  [[nodiscard]] ReplacingFile* result() noexcept { return result_ ? &*result_ : nullptr; }

 private:
  void TryStart() {
    try {
      const int choice = static_cast<int>(CountFromDigit(static_cast<unsigned char>(header_[0])));
      if (header_.size() < 2) return;
      const std::size_t n = CountFromDigit(static_cast<unsigned char>(header_[1]));
      if (header_.size() < 2 + n) return;
      const std::string target = ChangeFileExt(source_, ExtensionFromMasked(header_.substr(2)));
      if (keep_) {
        RequireResultIsNotSource(services_.fs, source_, target);
        result_.emplace(services_.fs, target, services_.job);
      }
      const Secret key = LayerKey(EffectivePassphrase(choice, passphrase_).view());
      File* out = keep_ ? &result_->file() : nullptr;
      stream_.emplace(LibraryMethod::kRijndaelEcb, key.bytes(), false, services_.clock,
                      [out](std::uint8_t* data, std::size_t k) {
                        if (out != nullptr) out->Write(data, k);
                      });
    } catch (const Failure& e) {
      if (e.kind() == FailureKind::kCancelled) throw;
      error_ = std::current_exception();
    }
  }

  RoutineServices& services_;
  const std::string& source_;
  std::string_view passphrase_;
  const bool keep_;
  std::string header_;
  std::exception_ptr error_;
  std::optional<ReplacingFile> result_;
  std::optional<MethodStream> stream_;
  Secret buffer_;
};

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

std::string RandomProtection::EncryptErh(const std::string& source, std::string_view passphrase) {
  const int choice = PickProtectionChoice(services_.random, services_.clock);
  const Secret effective = EffectivePassphrase(choice, passphrase);
  return BuildErh(source, effective.view(), choice);
}

std::string RandomProtection::BuildErh(const std::string& source, std::string_view effective,
                                       int choice) {
  FileSystem& fs = services_.fs;
  const std::string extension = RecordedExtension(source, kMaxHeaderExtension);
  const std::string target = ChangeFileExt(source, kErhExtension);
  RequireResultIsNotSource(fs, source, target);
  File in = OpenCipherInput(fs, source);
  const SourceState state(in);
  const auto plain = static_cast<std::uint64_t>(in.Size());
  ExpectedWork expected(services_.job, plain);
  LayerEntry entry;
  entry.stored_name = LayerEntryName(fs, source);
  entry.dos_time = DosTimeFromUnix(std::time(nullptr));
  FileInfo made;  // the layer as a new file of its own
  made.exists = made.is_regular = true;
  entry.attributes = DosAttributes(ExtractFileName(ChangeFileExt(source, ".xxr")), made);
  entry.size = 2 + extension.size() + 16 * (plain / 16 + 1);
  const Secret key = LayerKey(effective);
  SourceLayer layer(in,
                    std::string(1, static_cast<char>('0' + choice)) + ExtensionHeader(extension),
                    key, services_.clock, services_.job);
  ReplacingFile erh(fs, target, services_.job);
  WriteErhArchive(erh.file(), entry, layer);
  state.RequireUnchanged(in);
  in.Close();
  expected.Finish();
  erh.Commit();
  return erh.target();
}

std::string RandomProtection::Open(const std::string& source, std::string_view passphrase,
                                   bool keep) {
  FileSystem& fs = services_.fs;
  File in = fs.OpenExisting(source);
  const SourceState state(in);
  ExpectedWork expected(services_.job, static_cast<std::uint64_t>(in.Size()));
  LayerReader layer(services_, source, passphrase, keep);
  state.ReadWhole(in, [&] {
    ReadErhArchive(fs, in, source, LayerEntryName(fs, source), layer, services_.job);
    layer.Finish();
  });
  in.Close();
  expected.Finish();
  if (!keep) return {};
  layer.result()->Commit();
  return layer.result()->target();
}

std::string RandomProtection::DecryptErh(const std::string& source, std::string_view passphrase) {
  return Open(source, passphrase, true);
}

void RandomProtection::VerifyErh(const std::string& source, std::string_view passphrase) {
  (void)Open(source, passphrase, false);
}

std::string EncryptErh(RoutineServices& services, const std::string& source,
                       std::string_view passphrase) {
  return RandomProtection(services).EncryptErh(source, passphrase);
}

std::string DecryptErh(RoutineServices& services, const std::string& source,
                       std::string_view passphrase) {
  return RandomProtection(services).DecryptErh(source, passphrase);
}

void VerifyErh(RoutineServices& services, const std::string& source, std::string_view passphrase) {
  RandomProtection(services).VerifyErh(source, passphrase);
}

}  // namespace talvor

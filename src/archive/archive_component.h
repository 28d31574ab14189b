// The archive components: a compressor writes or updates an archive from
// files on disk (archive_writer.h), an extractor unpacks an archive's entries
// to disk (archive_reader.h). Each archive kind has one of each (LhaWriter/LhaReader,
// ...). Failures never reach the caller: Compress and Extract report them
// through the error event and return how many files they handled.
//
// This header holds what both sides share: the properties, the error model,
// the entries as a reader sees them and the enumerations.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/failure.h"
#include "platform/file_system.h"
#include "platform/progress.h"

namespace talvor {

enum class PackingMethod : std::uint8_t {
  kStore,
  kDeflate,
  kFuse,
  kFrozen5,
  kFrozen6,
  kMsZip,
  kLzx,
  kQuantum,
};
enum class DeflateEffort : std::uint8_t { kStore, kFast, kNormal, kMaximum };
enum class ArchiveType : std::uint8_t { kNotAvailable, kUnknown, kLha, kZip, kBh, kCab };

// Codes of the error event.
namespace archive_error {
inline constexpr int kBadFileHeader = 25114;
inline constexpr int kBadLocalHeaderOffset = 25115;
inline constexpr int kErrorWriting = 25136;
inline constexpr int kErrorClosing = 25138;
inline constexpr int kCrcFailure = 25151;
inline constexpr int kInvalidDirectory = 25158;
inline constexpr int kDiskFull = 25160;
inline constexpr int kFileNotFound = 25192;
inline constexpr int kErrorOpening = 25235;
inline constexpr int kUnsupportedArchive = 25244;
inline constexpr int kCabinetLibraryMissing = 25261;
inline constexpr int kNothingToDo = 25268;
inline constexpr int kEventNotAssigned = 25270;
inline constexpr int kUnsupportedMethod = 25326;
}  // namespace archive_error

// The message of an error code ("Bad file header", ...).
[[nodiscard]] std::string ArchiveErrorText(int code);

// A failure inside the engine (kind kArchive) with the code the error event
// reports and, as its detail, what the event says beyond the code.
[[nodiscard]] Failure EngineFailure(int code, std::string detail = {});

// What the error event receives.
struct ArchiveError {
  int code;
  std::string file;   // the file concerned
  std::string extra;  // more detail
};

// Raises a kRefused Failure: the name of the file `path` `why` ("is not valid UTF-8
// text") and so cannot be recorded in `where` ("a ZIP archive").
[[noreturn]] void RefuseName(const std::string& path, const std::string& why,
                             std::string_view where);

// Raises a kRefused Failure naming the file `path` when its stored name `name` is
// no UTF-8 or holds one of `separators` (characters read back as folder
// separators besides "/"); `where` is the archive in words ("a ZIP archive").
void RequireRecordableName(const std::string& name, const std::string& path, std::string_view where,
                           const std::vector<std::string>& separators);

// An error as one line for the user: "TEXT: FILE (EXTRA)", empty parts left
// out.
[[nodiscard]] std::string ArchiveErrorLine(const ArchiveError& error);

// An entry of an archive, as a reader sees it.
struct ArchiveEntry {
  std::string name;    // stored path, "/" between folders, as a name on this system
  std::string method;  // "-lh6-", "deflate", ...
  bool is_folder = false;
  std::uint64_t packed_size = 0;
  std::uint64_t original_size = 0;
  std::uint32_t dos_time = 0;   // MS-DOS date and time
  std::uint8_t attributes = 0;  // MS-DOS attributes
  std::uint32_t crc = 0;        // as stored
  int crc_bits = 16;            // 16 (LHA) or 32
  std::int64_t data_offset = 0;
  int header_level = 0;
  int method_id = 0;        // the format's method number
  std::uint16_t flags = 0;  // the format's flags
  bool supported = true;    // the reader can decode the method
  std::uint8_t os = 0;      // the system that made the entry, where the format says
  std::string damage;       // why the entry cannot be read, when its header is damaged
};

// Properties and the error model shared by every archive component.
class ArchiveComponent {
 public:
  explicit ArchiveComponent(FileSystem& fs) : fs_(fs) {}
  virtual ~ArchiveComponent() = default;
  ArchiveComponent(const ArchiveComponent&) = delete;
  ArchiveComponent& operator=(const ArchiveComponent&) = delete;

  std::vector<std::string> FileSpec;

  // Called with every failure; nobody need listen.
  std::function<void(const ArchiveError&)> OnError;

  [[nodiscard]] const std::string& ArchiveFile() const noexcept { return archive_file_; }

  // The job the component's work counts against and notes its replaced
  // files in; without one (nullptr) a quiet job of its own.
  void AttachJob(Job* job) noexcept { job_ = job != nullptr ? job : &own_job_; }
  [[nodiscard]] Job& job() noexcept { return *job_; }

  // Stored names in the archive's code page and back (a character the code
  // page cannot hold is stored as "_"). Only for finding a name again: a
  // writer records names through ExactStoredName.
  [[nodiscard]] std::string ToStoredName(const std::string& name) const;
  // The name in the archive's code page, every character as it is; what
  // RequireRecordableName refuses, and a character the code page lacks,
  // raises a kRefused Failure.
  [[nodiscard]] std::string ExactStoredName(const std::string& name, const std::string& path,
                                            std::string_view where,
                                            const std::vector<std::string>& separators) const;
  [[nodiscard]] std::string FromStoredName(const std::string& stored) const;

 protected:
  void ReportError(int code, const std::string& file, const std::string& extra = {});
  // How ReportFailure reports what is not the engine's own failure.
  struct FailureCodes {
    int io;                  // a failure of the file layer
    int other;               // anything else, with its words
    bool disk_full = false;  // a full disk as kDiskFull rather than `io`
    const char* words_prefix = "";
  };
  // Reports the failure `e` met on `file` as an error event: the engine's
  // own with its code and detail, the others as `codes` say.
  void ReportFailure(const std::exception& e, const std::string& file, const FailureCodes& codes);

  // Marks the component busy for one operation.
  class BusyScope {
   public:
    explicit BusyScope(ArchiveComponent& component) : component_(component) {
      component_.busy_ = true;
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;
    ~BusyScope() { component_.busy_ = false; }

   private:
    ArchiveComponent& component_;
  };

  FileSystem& fs_;
  std::string archive_file_;
  bool busy_ = false;

 private:
  Job own_job_;
  Job* job_ = &own_job_;
};

}  // namespace talvor

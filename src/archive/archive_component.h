// The archive components: a compressor writes or updates an archive from
// files on disk, an extractor unpacks an archive's entries to disk. Each
// archive kind has one of each (TLha/TUnLha, ...). Failures never reach the
// caller: Compress and Extract report them through the error event and
// return how many files they handled.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/file_scan.h"
#include "platform/file.h"
#include "platform/file_system.h"

namespace talvor {

enum class TCompressMethod : std::uint8_t {
  cmStore,
  cmDeflate,
  cmFuse,
  cmFrozen5,
  cmFrozen6,
  cmMsZip,
  cmLzx,
  cmQuantum,
  cmUUEncode,
  cmXXEncode,
  cmBase64,
  cmTarred,
  cmTarGzip,
};
enum class TSwitch : std::uint8_t { swAdd, swRefresh, swMove, swDelete, swRead };
enum class TDateAttribute : std::uint8_t { daFileDate, daSysDate, daMaxFileDate };
enum class TStoredDirNames : std::uint8_t {
  sdNone,
  sdAbsolute,
  sdAbsoluteNoDrv,
  sdAbsoluteNoRoot,
  sdRelative,
  sdRelativeStoreStart,
  sdExplorer_Auto,
  sdExplorer_UserDefineDefaultDir,
};
enum class TCompressionMethod : std::uint8_t { cmInMemory, cmTempFile };
enum class TDeflateType : std::uint8_t { dtDeflateS, dtDeflateF, dtDeflateN, dtDeflateX };
enum class TOverwriteMode : std::uint8_t { omOverwrite, omSkip };
enum class TDeleteOptions : std::uint8_t { doFinal, doAllowUndo };
enum class TArcType : std::uint8_t { atNA, atUnknown, atLha, atZip, atBh, atCab };

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
inline constexpr int kUserCanceled = 25443;
}  // namespace archive_error

// The message of an error code ("Bad file header", ...).
[[nodiscard]] std::string ArchiveErrorText(int code);

// A failure inside the engine with the code the error event reports.
class ArchiveFailure : public std::runtime_error {
 public:
  ArchiveFailure(int code, std::string extra = {})
      : std::runtime_error(ArchiveErrorText(code)), code_(code), extra_(std::move(extra)) {}
  [[nodiscard]] int code() const noexcept { return code_; }
  [[nodiscard]] const std::string& extra() const noexcept { return extra_; }

 private:
  int code_;
  std::string extra_;
};

// What the error event receives.
struct ArchiveError {
  int code;
  std::string file;   // the file concerned
  std::string extra;  // more detail
};

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
};

// Properties and the error model shared by every archive component.
class TZipCommon {
 public:
  explicit TZipCommon(FileSystem& fs) : fs_(fs) {}
  virtual ~TZipCommon() = default;
  TZipCommon(const TZipCommon&) = delete;
  TZipCommon& operator=(const TZipCommon&) = delete;

  std::vector<std::string> FileSpec;
  std::vector<std::string> ExcludeSpec;
  bool TranslateOemChar = true;
  bool Cancel = false;

  // Called with every failure; nobody need listen.
  std::function<void(const ArchiveError&)> OnError;
  // Lets the windows process pending messages during long work.
  std::function<void()> OnProcessMessages;

  [[nodiscard]] const std::string& ArchiveFile() const noexcept { return archive_file_; }
  [[nodiscard]] bool Busy() const noexcept { return busy_; }

  // Stored names in the archive's code page and back (a character the code
  // page cannot hold is stored as "_").
  [[nodiscard]] std::string ToStoredName(const std::string& name) const;
  [[nodiscard]] std::string FromStoredName(const std::string& stored) const;

 protected:
  void ReportError(int code, const std::string& file, const std::string& extra = {});
  void ProcessMessages();

  // Marks the component busy for one operation.
  class BusyScope {
   public:
    explicit BusyScope(TZipCommon& component) : component_(component) {
      component_.busy_ = true;
      component_.Cancel = false;
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;
    ~BusyScope() { component_.busy_ = false; }

   private:
    TZipCommon& component_;
  };

  FileSystem& fs_;
  std::string archive_file_;
  bool busy_ = false;
};

// What a writer knows of one entry of the archive it builds.
struct CompEntry {
  std::string name;       // stored name as on this system ("old/a.txt"), for look-ups
  bool existing = false;  // copied from the archive being updated
  // Existing entries: where the whole entry lies in the old archive.
  std::int64_t offset = 0;
  std::int64_t length = 0;
  std::uint32_t dos_time = 0;
  std::uint64_t original_size = 0;
  // New entries: the file to pack.
  ScannedFile source;
  // Where the entry starts in the new archive, and what the format keeps of
  // it for a closing directory.
  std::int64_t new_offset = 0;
  std::string format_data;
};

// The compressor base: owns Compress and the per-entry steps.
class TCustomCClass : public TZipCommon {
 public:
  using TZipCommon::TZipCommon;

  // Appends DefaultExt when the name has none; remembers whether it exists.
  void SetArchiveFile(const std::string& path);
  // A leading "." is added, the text cut to 4 characters and lower-cased;
  // ArchiveFile gets it as described for the property.
  void SetDefaultExt(const std::string& ext);
  [[nodiscard]] const std::string& DefaultExt() const noexcept { return default_ext_; }
  // A method the writer does not support is ignored.
  void SetCompressMethod(TCompressMethod method);
  [[nodiscard]] TCompressMethod CompressMethod() const noexcept { return method_; }

  std::vector<std::string> StoreFilesOfType;
  TSwitch Switch = TSwitch::swAdd;
  TDateAttribute DateAttribute = TDateAttribute::daFileDate;
  TStoredDirNames StoredDirNames = TStoredDirNames::sdRelative;
  bool RecurseDirs = true;
  FileAttrSet Attributes{FileAttr::fsZeroAttr, FileAttr::fsReadOnly, FileAttr::fsArchive,
                         FileAttr::fsCompressed, FileAttr::fsEncrypted};
  FileAttrSet AttributesEx;
  TCompressionMethod CompressionMethod = TCompressionMethod::cmTempFile;
  std::string TempDir;
  TDeleteOptions DeleteOptions = TDeleteOptions::doAllowUndo;
  TDeflateType DeflateType = TDeflateType::dtDeflateN;
  bool StoreEmptySubDirs = false;
  // When set, an archive already at ArchiveFile is not read or updated: the
  // new archive replaces it as a whole, and only once it is complete.
  bool ReplaceWholeArchive = false;

  // Packs the files of FileSpec into ArchiveFile; returns how many it
  // packed (0 on failure, reported through the error event). A writer may
  // replace the whole step (the cabinet writer does).
  virtual int Compress();

  // The 24 extensions stored without compression.
  [[nodiscard]] static std::vector<std::string> BuiltInStoreList();

 protected:
  TCustomCClass(FileSystem& fs, std::string default_ext, TCompressMethod initial);

  [[nodiscard]] virtual bool AcceptsMethod(TCompressMethod method) const = 0;
  // Reads the entries of the existing archive (throws on a damaged one).
  virtual std::vector<CompEntry> ReadExistingEntries(File& archive) = 0;
  // Copies an existing entry unchanged into the new archive.
  virtual void CopyExistingEntry(File& archive, CompEntry& entry, File& out);
  // Writes one new entry; false when the file was skipped (reported).
  [[nodiscard]] virtual bool WriteNewEntry(CompEntry& entry, File& out) = 0;
  // Writes what closes the archive (a central directory); nothing by default.
  virtual void WriteClosing(File& out, const std::vector<CompEntry>& entries);

  // Opens a file to pack, with others allowed to read and write it; reports
  // "Error opening file" and returns a closed file when it cannot.
  [[nodiscard]] File OpenSource(const CompEntry& entry);
  // The stored name of a scanned file under StoredDirNames.
  [[nodiscard]] std::string StoredNameOf(const ScannedFile& file, const std::string& pattern) const;
  // Whether the extension is on the store list (letter case ignored).
  [[nodiscard]] bool InStoreList(const std::string& path) const;
  // The time stamp an entry gets.
  [[nodiscard]] std::uint32_t EntryTime(const ScannedFile& file) const;

  std::string default_ext_;
  TCompressMethod method_;
  bool archive_existed_ = false;
  std::uint32_t max_file_time_ = 0;
};

class TCompBase : public TCustomCClass {
 public:
  using TCustomCClass::TCustomCClass;
};

// The extractor base: owns Extract, the overwrite rule and the CRC verdict.
class TCustomDClass : public TZipCommon {
 public:
  using TZipCommon::TZipCommon;

  // A missing file makes the type atNA and clears the name.
  void SetArchiveFile(const std::string& path);
  [[nodiscard]] TArcType ArcType() const noexcept { return arc_type_; }
  // A non-empty folder is kept with a trailing separator; an empty value
  // takes the archive's own folder.
  void SetExtractDir(const std::string& folder);
  [[nodiscard]] const std::string& ExtractDir() const noexcept { return extract_dir_; }

  bool UseStoredDirs = true;
  bool ConfirmOverwrites = false;
  TOverwriteMode OverwriteMode = TOverwriteMode::omOverwrite;
  bool RestoreFileAttr = true;
  bool CreateStoredDirs = false;
  std::string Password;

  // Unpacks the entries matching FileSpec; returns how many files it wrote.
  int Extract();
  // Visits every entry of the archive (for listings); failures reported.
  void List(const std::function<void(const ArchiveEntry&)>& visit);

 protected:
  // Walks the archive, calling `visit` for every entry it finds; throws on
  // a damaged archive (after the entries before the damage were visited).
  virtual void WalkEntries(File& archive,
                           const std::function<void(const ArchiveEntry&)>& visit) = 0;
  // Decodes an entry's data into `out`; returns the CRC of what it wrote.
  // Throws on damaged data or an unsupported method.
  virtual std::uint32_t DecodeEntry(File& archive, const ArchiveEntry& entry, File& out) = 0;
  // The archive kind that the file's first bytes show.
  [[nodiscard]] static TArcType DetectType(File& archive);
  // The bytes an entry's extraction counts as its progress: the data the
  // reader takes from the archive.
  [[nodiscard]] virtual std::uint64_t EntryWork(const ArchiveEntry& entry) const {
    return entry.packed_size;
  }

 private:
  void ExtractOne(File& archive, const ArchiveEntry& entry, int& count);
  // Creates the folders of `folder` below ExtractDir that do not exist yet.
  void EnsureFolders(const std::string& folder);
  // The output path below ExtractDir; empty (after reporting) when the
  // entry would land outside it.
  [[nodiscard]] std::string OutputPath(const ArchiveEntry& entry);

  TArcType arc_type_ = TArcType::atNA;
  std::string extract_dir_;
};

class TUnBase : public TCustomDClass {
 public:
  using TCustomDClass::TCustomDClass;
};

}  // namespace talvor

// The extractor side of the archive components (archive_component.h): the
// reader base that owns Extract and List, and the walk and decoding steps
// each format fills in.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_component.h"
#include "archive/kind_detection.h"
#include "platform/file.h"
#include "platform/folder.h"
#include "platform/replacing_file.h"

namespace talvor {

// The readers' name for an archive kind: kUnknown for none.
[[nodiscard]] ArchiveType ArcTypeOf(std::optional<ArchiveKind> kind) noexcept;

// The extractor base: owns Extract, the overwrite rule and the CRC verdict.
class ArchiveReader : public ArchiveComponent {
 public:
  using ArchiveComponent::ArchiveComponent;

  // A missing file makes the type kNotAvailable and clears the name.
  void SetArchiveFile(const std::string& path);
  [[nodiscard]] ArchiveType ArcType() const noexcept { return arc_type_; }
  // A non-empty folder is kept with a trailing separator; an empty value
  // takes the archive's own folder.
  void SetExtractDir(const std::string& folder);

  bool CreateStoredDirs = false;

  // Unpacks the entries matching FileSpec; returns how many files it wrote.
  int Extract();
  // Visits every entry of the archive (for listings); failures reported.
  void List(const std::function<void(const ArchiveEntry&)>& visit);
  // Reads every entry to its end and checks its CRC, writing nothing:
  // `each` sees every entry with its verdict (folders are sound), and every
  // damaged or undecodable entry is reported through the error event as
  // Extract reports it. Returns how many files were sound.
  int Test(const std::function<void(const ArchiveEntry&, bool sound)>& each);

 protected:
  // Walks the archive, calling `visit` for every entry it finds; throws on
  // a damaged archive (after the entries before the damage were visited).
  virtual void WalkEntries(File& archive,
                           const std::function<void(const ArchiveEntry&)>& visit) = 0;
  // Decodes an entry's data into `out`; returns the CRC of what it wrote.
  // Throws on damaged data or an unsupported method.
  virtual std::uint32_t DecodeEntry(File& archive, const ArchiveEntry& entry, File& out) = 0;
  // Opens the archive for reading; raises a kIo Failure or a kArchive Failure.
  [[nodiscard]] virtual File OpenArchive();
  // The archive kind the file's content shows, as ArchiveKindOfContent
  // judges it; `path` is the file's name.
  [[nodiscard]] static ArchiveType DetectType(File& archive, const std::string& path);
  // The bytes an entry's extraction counts as its progress: the data the
  // reader takes from the archive.
  [[nodiscard]] virtual std::uint64_t EntryWork(const ArchiveEntry& entry) const {
    return entry.packed_size;
  }

 private:
  void ExtractOne(File& archive, const ArchiveEntry& entry, int& count);
  // Decodes an entry into `out`: true when its data matches its CRC, false
  // when it does not (not reported), nullopt when it could not be decoded
  // (reported against `file`).
  [[nodiscard]] std::optional<bool> DecodeChecked(File& archive, const ArchiveEntry& entry,
                                                  File& out, const std::string& file);
  // Walks the archive for Extract and Test: the work ahead first, then
  // `step` on every entry FileSpec wants (and every folder); failures of
  // the walk itself are reported.
  void WalkForWork(const std::function<void(File&, const ArchiveEntry&)>& step);
  // The steps of an entry's output path below ExtractDir; none (after
  // reporting) when the entry would land outside it.
  [[nodiscard]] std::optional<std::vector<std::string>> OutputSteps(const ArchiveEntry& entry);
  // Opens the folder the first `depth` steps lead to below ExtractDir, one
  // folder at a time and never through a symbolic link, making those that
  // are missing (noted for RemoveMadeFolders when `note`); none (after
  // reporting) when a step is a link or a file. Raises a kIo Failure.
  [[nodiscard]] std::optional<Folder> EntryFolder(const ArchiveEntry& entry,
                                                  const std::vector<std::string>& steps,
                                                  std::size_t depth, bool note);
  // Removes the folders EntryFolder made that are still empty, deepest first.
  void RemoveMadeFolders() noexcept;
  // Makes the decoded files waiting in pending_ durable together (one sync
  // of their file system), then gives each its name and time; adds to
  // `count` the files named.
  void NamePending(int& count);
  // Names the batch first when the entry of these steps would go onto or
  // through a file of it.
  void NameEarlierOnTheWay(const std::vector<std::string>& steps, int& count);

  // A decoded file that waits for its batch to be durable before it takes
  // its name: a kill before then leaves nothing of it.
  struct PendingFile {
    std::unique_ptr<Folder> folder;  // the entry's folder, which `out` names it in
    std::unique_ptr<ReplacingFile> out;
    std::string key;  // its steps below ExtractDir, "/" between them
    std::string leaf;
    std::string path;
    std::uint32_t dos_time;
    bool read_only;
  };

  // A folder made for an entry's file: its steps and identity.
  struct MadeFolder {
    std::vector<std::string> steps;
    std::uint64_t device;
    std::uint64_t inode;
  };

  ArchiveType arc_type_ = ArchiveType::kNotAvailable;
  std::string extract_dir_;
  std::optional<Folder> root_;  // ExtractDir, opened for one Extract
  std::vector<MadeFolder> made_;
  std::vector<PendingFile> pending_;
  std::uint64_t pending_bytes_ = 0;
};

}  // namespace talvor

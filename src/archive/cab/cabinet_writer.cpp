// Cabinet layout as written here (Microsoft Cabinet File Format; all numbers
// little-endian):
//
//   CFHEADER  36 bytes: "MSCF", cbCabinet, coffFiles, version 1.3, cFolders,
//             cFiles, flags, setID, iCabinet (no reserved areas, no set links)
//   CFFOLDER  8 bytes: coffCabStart, cCFData, typeCompress
//   CFFILE    16 bytes and the NUL-terminated name, per file
//   CFDATA    8 bytes (csum, cbData, cbUncomp) and the block's bytes
//
// The folder's data is cut into blocks of 32 KiB of uncompressed bytes; a
// block runs on from one file into the next. An MSZIP block is "CK" and a
// complete raw Deflate stream (RFC 1951) of the block, whose matches may
// reach into the previous block: the decoder keeps its window from block to
// block, so the encoder starts each block with the previous 32 KiB as its
// dictionary. As a block depends on the bytes before it only, not on how
// they were coded, blocks are made two at a time on two threads. The blocks
// go to a temporary file while files are added; Flush writes the headers and
// copies them behind.
#include "archive/cab/cabinet_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <future>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

#include "archive/deflate.h"
#include "platform/byte_order.h"
#include "platform/failure.h"
#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/progress.h"
#include "platform/replacing_file.h"

namespace talvor::cabinet_internal {

namespace {

constexpr std::size_t kBlockSize = 32768;
constexpr std::uint64_t kMaxFolderSize = 0x7FFF8000;  // 65535 blocks of 32 KiB
constexpr std::uint64_t kMaxCabinetSize = 0x7FFFFFFF;
constexpr std::size_t kMaxFiles = 0xFFFF;
constexpr std::size_t kMaxBlocks = 0xFFFF;
constexpr std::size_t kMaxNameSize = 255;

constexpr std::size_t kHeaderSize = 36;
constexpr std::size_t kFolderRecordSize = 8;
constexpr std::size_t kFileRecordSize = 16;  // before the name
constexpr std::size_t kDataRecordSize = 8;   // before the block's bytes
constexpr std::size_t kFilesOffset = kHeaderSize + kFolderRecordSize;

// A Deflate block kept as it is: one header byte (last block, type 00), the
// length and its complement.
constexpr std::size_t kStoredBlockOverhead = 5;
// "CK" before the Deflate stream of each MSZIP block.
constexpr std::size_t kMsZipSignatureSize = 2;
constexpr std::size_t kMaxPayload = kMsZipSignatureSize + kStoredBlockOverhead + kBlockSize;

constexpr int kDeflateLevel = 6;

// The CFDATA checksum: the bytes read as little-endian 32-bit words, XORed
// onto `sum`; one to three bytes left over make a last word of their own, the
// first of them in the highest byte used.
std::uint32_t Checksum(const std::uint8_t* p, std::size_t n, std::uint32_t sum) {
  for (; n >= 4; n -= 4, p += 4) sum ^= LoadLittleEndian32(p);
  std::uint32_t rest = 0;
  for (std::size_t i = 0; i < n; ++i) rest = rest << 8 | p[i];
  return sum ^ rest;
}

// The system's error number behind a failure of the file layer.
int SystemErrorOf(const Failure& e) {
  if (e.system_error() != 0) return e.system_error();
  return e.code() == io_code::kAccessDenied ? EACCES : EIO;
}

// Codes `block` as one complete Deflate stream into `out`, the bytes in
// `history` being the data just before it. Returns the stream's size, or
// nothing when it would not fit into `out_size` bytes. The coder is made on
// first use.
std::optional<std::size_t> DeflateBlock(std::optional<RawDeflater>& coder,
                                        const std::uint8_t* history, std::size_t history_size,
                                        const std::uint8_t* block, std::size_t size,
                                        std::uint8_t* out, std::size_t out_size) {
  try {
    if (!coder) coder.emplace(kDeflateLevel);
    coder->Restart(history, history_size);
    const DeflateStep step = coder->Code(block, size, out, out_size, true);
    if (step.finished) return step.written;
    return std::nullopt;  // out of room
  } catch (const DeflateCoderError& e) {
    throw CabinetError(e.out_of_memory() ? make_error::kAllocFail : make_error::kCompressorFail,
                       e.zlib_code());
  }
}

// A file being added, read straight into the block being filled (many small
// files are common; a buffered File would set up a buffer of its own for each).
class Source {
 public:
  // Raises CabinetError(1, errno) when the file cannot be opened, or is no
  // regular file (a pipe would block, a device never end).
  explicit Source(const std::string& path) : file_(Open(path), path), state_(file_) {
    struct stat st {};
    if (::fstat(file_.Descriptor(), &st) != 0) throw CabinetError(make_error::kOpenSource, errno);
    if (!S_ISREG(st.st_mode)) {
      throw CabinetError(make_error::kOpenSource, S_ISDIR(st.st_mode) ? EISDIR : EACCES);
    }
    size_ = static_cast<std::uint64_t>(st.st_size);
    // Taking the descriptor, File went to its end to learn its size.
    if (::lseek(file_.Descriptor(), 0, SEEK_SET) != 0) {
      throw CabinetError(make_error::kOpenSource, errno);
    }
  }

  [[nodiscard]] std::uint64_t size() const { return size_; }

  // Up to n bytes, 0 at the end; raises CabinetError(2, errno).
  std::size_t Read(std::uint8_t* data, std::size_t n) {
    for (;;) {
      const ssize_t got = ::read(file_.Descriptor(), data, n);
      if (got >= 0) return static_cast<std::size_t>(got);
      if (errno != EINTR) throw CabinetError(make_error::kReadSource, errno);
    }
  }

  // Raises a kSourceChanged Failure when the file changed since it was opened.
  void RequireUnchanged() const { state_.RequireUnchanged(file_); }

 private:
  static UniqueFd Open(const std::string& path) {
    for (;;) {
      UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
      if (fd.valid()) return fd;
      if (errno != EINTR) throw CabinetError(make_error::kOpenSource, errno);
    }
  }

  File file_;  // only owns the descriptor: reads go straight to the system
  SourceState state_;
  std::uint64_t size_ = 0;
};

struct FileRecord {
  std::string name;
  std::uint32_t size = 0;
  std::uint32_t offset = 0;
  std::uint16_t date = 0;
  std::uint16_t time = 0;
  std::uint16_t attributes = 0;
};

// Makes the CFDATA record of `block` in `record` (room for kDataRecordSize +
// kMaxPayload bytes), `history` being the bytes before the block; returns the
// record's size. `deflater` is needed for MSZIP only.
std::size_t PackBlock(int type, std::optional<RawDeflater>& deflater, const std::uint8_t* history,
                      std::size_t history_size, std::uint8_t* block, std::size_t size,
                      std::uint8_t* record) {
  std::uint8_t* const payload = record + kDataRecordSize;
  std::size_t payload_size = size;
  if (type == cabinet_compression::kMsZip) {
    payload[0] = 'C';
    payload[1] = 'K';
    // Anything longer than the block kept as it is would be a waste; kept
    // as it is, it stays within the 32 KiB + 12 bytes an MSZIP block may take.
    const std::optional<std::size_t> coded =
        DeflateBlock(deflater, history, history_size, block, size, payload + kMsZipSignatureSize,
                     size + kStoredBlockOverhead);
    if (coded) {
      payload_size = kMsZipSignatureSize + *coded;
    } else {
      std::uint8_t* p = payload + kMsZipSignatureSize;
      p[0] = 0x01;  // last block, stored
      StoreLittleEndian16(static_cast<std::uint16_t>(size), p + 1);
      StoreLittleEndian16(static_cast<std::uint16_t>(~size & 0xFFFF), p + 3);
      std::memcpy(p + kStoredBlockOverhead, block, size);
      payload_size = kMsZipSignatureSize + kStoredBlockOverhead + size;
    }
  } else {
    std::memcpy(payload, block, size);
  }
  StoreLittleEndian16(static_cast<std::uint16_t>(payload_size), record + 4);
  StoreLittleEndian16(static_cast<std::uint16_t>(size), record + 6);
  StoreLittleEndian32(Checksum(record + 4, 4, Checksum(payload, payload_size, 0)), record);
  return kDataRecordSize + payload_size;
}

// What AddFile puts back when a file cannot be added completely: the counts,
// and (once the file has made blocks) the window as it was.
struct Undo {
  std::uint64_t data_size = 0;
  std::size_t block_count = 0;
  std::size_t history = 0;
  std::size_t pending = 0;
  int folder_type = -1;
  bool saved_window = false;
  std::vector<std::uint8_t> window;
};

class CabinetWriter final : public CabinetBuilder {
 public:
  explicit CabinetWriter(const CabinetParameters& params)
      : params_(params),
        size_limit_(params.max_cabinet_size == 0
                        ? kMaxCabinetSize
                        : std::min<std::uint64_t>(params.max_cabinet_size, kMaxCabinetSize)),
        window_(3 * kBlockSize),
        records_{std::vector<std::uint8_t>(kDataRecordSize + kMaxPayload),
                 std::vector<std::uint8_t>(kDataRecordSize + kMaxPayload)} {}

  void AddFile(const std::string& source_path, const std::string& stored_name,
               std::uint16_t attributes, std::uint32_t dos_time,
               std::uint16_t compression) override;
  void Flush() override;

 private:
  void RequireOpen() const;
  [[nodiscard]] Job& job() noexcept { return params_.job != nullptr ? *params_.job : own_job_; }
  [[nodiscard]] std::uint64_t CabinetSize(std::uint64_t data_size,
                                          std::uint64_t file_records_size) const {
    return kFilesOffset + file_records_size + data_size;
  }
  void CopyIn(Source& source, std::uint64_t* size);
  // Makes the records of the pending bytes (one or two blocks) in records_;
  // returns their sizes.
  std::array<std::size_t, 2> PackPending();
  void WritePendingBlocks();
  File& DataFile();
  void Rollback();

  CabinetParameters params_;
  Job own_job_;
  std::uint64_t size_limit_;
  std::vector<FileRecord> files_;
  std::uint64_t file_records_size_ = 0;
  int folder_type_ = -1;  // the first file's type, -1 before it

  // The last block made (the next one's history) and the bytes of at most
  // two blocks after it, which are made side by side: each block's history
  // is what comes before it here.
  std::vector<std::uint8_t> window_;
  std::size_t history_ = 0;  // 0 or kBlockSize
  std::size_t pending_ = 0;  // bytes after the history, below 2 * kBlockSize
  std::array<std::vector<std::uint8_t>, 2> records_;  // CFDATA records being made
  std::array<std::optional<RawDeflater>, 2> deflaters_;

  File data_;  // the finished CFDATA records (a temporary file without a name)
  std::uint64_t data_size_ = 0;
  std::size_t block_count_ = 0;
  std::uint64_t folder_size_ = 0;

  std::optional<Undo> undo_;
  bool broken_ = false;
  bool finished_ = false;
};

void CabinetWriter::RequireOpen() const {
  if (finished_) throw std::logic_error("the cabinet has been written already");
  if (broken_) throw CabinetError(make_error::kTempFile, 0);
}

File& CabinetWriter::DataFile() {
  if (!data_.IsOpen()) {
    const char* tmp = std::getenv("TMPDIR");
    const std::string folder = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    PosixFileSystem fs;
    std::string path;
    try {
      // Nameless: nothing is left behind, whatever happens.
      data_ = fs.CreateUnnamedBeside(JoinPath(folder, "talvor-cabinet"));
      if (!data_.IsOpen()) {
        data_ = fs.CreateTemporaryBeside(JoinPath(folder, "talvor-cabinet"), &path);
        fs.Delete(path);
      }
    } catch (const Failure& e) {
      if (e.kind() != FailureKind::kIo) throw;
      data_ = File();
      if (!path.empty()) ::unlink(path.c_str());
      throw CabinetError(make_error::kTempFile, SystemErrorOf(e));
    }
  }
  return data_;
}

std::array<std::size_t, 2> CabinetWriter::PackPending() {
  std::uint8_t* const first = window_.data() + history_;
  const std::size_t first_size = std::min(pending_, kBlockSize);
  const std::size_t second_size = pending_ - first_size;
  const auto pack_first = [&] {
    return PackBlock(folder_type_, deflaters_[0], window_.data(), history_, first, first_size,
                     records_[0].data());
  };
  if (second_size == 0) return {first_size > 0 ? pack_first() : 0, 0};
  const auto pack_second = [&] {
    return PackBlock(folder_type_, deflaters_[1], first, first_size, first + first_size,
                     second_size, records_[1].data());
  };
  // Two blocks take two cores, when there are.
  static const bool kTwoCores = std::thread::hardware_concurrency() > 1;
  if (folder_type_ == cabinet_compression::kMsZip && kTwoCores) {
    std::future<std::size_t> first_done;
    try {
      first_done = std::async(std::launch::async, pack_first);
    } catch (const std::system_error&) {
      // no thread to be had: one after the other
    }
    if (first_done.valid()) {
      const std::size_t second = pack_second();
      return {first_done.get(), second};
    }
  }
  const std::size_t first_record = pack_first();
  return {first_record, pack_second()};
}

void CabinetWriter::WritePendingBlocks() {
  if (undo_ && !undo_->saved_window) {
    undo_->window.assign(window_.begin(), window_.begin() + static_cast<std::ptrdiff_t>(
                                                                undo_->history + undo_->pending));
    undo_->saved_window = true;
  }
  if (block_count_ + 2 > kMaxBlocks) throw CabinetError(make_error::kFormatLimit, 0);
  const std::array<std::size_t, 2> sizes = PackPending();
  // The file's record still has to fit in as well (it is counted in).
  if (CabinetSize(data_size_ + sizes[0] + sizes[1], file_records_size_) > size_limit_) {
    throw CabinetError(make_error::kFormatLimit, 0);
  }
  File& data = DataFile();
  try {
    if (data.Position() != static_cast<std::int64_t>(data_size_)) {
      data.Seek(static_cast<std::int64_t>(data_size_));
    }
    data.Write(records_[0].data(), sizes[0]);
    data.Write(records_[1].data(), sizes[1]);
  } catch (const Failure& e) {
    if (e.kind() != FailureKind::kIo) throw;
    throw CabinetError(make_error::kTempFile, SystemErrorOf(e));
  }
  data_size_ += sizes[0] + sizes[1];
  block_count_ += 2;
  // The second block is the history of the next one.
  std::memmove(window_.data(), window_.data() + history_ + kBlockSize, kBlockSize);
  history_ = kBlockSize;
  pending_ = 0;
}

void CabinetWriter::CopyIn(Source& source, std::uint64_t* size) {
  for (;;) {
    const std::size_t got =
        source.Read(window_.data() + history_ + pending_, 2 * kBlockSize - pending_);
    if (got == 0) return;
    job().Advance(got);
    *size += got;
    if (folder_size_ + *size > kMaxFolderSize) {
      throw CabinetError(make_error::kFormatLimit, make_error::kTooMuchData);
    }
    pending_ += got;
    if (pending_ == 2 * kBlockSize) WritePendingBlocks();
  }
}

void CabinetWriter::Rollback() {
  Undo& undo = *undo_;
  if (undo.saved_window) std::copy(undo.window.begin(), undo.window.end(), window_.begin());
  history_ = undo.history;
  pending_ = undo.pending;
  block_count_ = undo.block_count;
  folder_type_ = undo.folder_type;
  if (data_size_ != undo.data_size) {
    data_size_ = undo.data_size;
    try {
      data_.Seek(static_cast<std::int64_t>(data_size_));
      data_.Truncate();
    } catch (const Failure& e) {
      if (e.kind() != FailureKind::kIo) throw;
      broken_ = true;
    }
  }
}

void CabinetWriter::AddFile(const std::string& source_path, const std::string& stored_name,
                            std::uint16_t attributes, std::uint32_t dos_time,
                            std::uint16_t compression) {
  RequireOpen();
  const int type = compression & 0x000F;
  if (type != cabinet_compression::kNone && type != cabinet_compression::kMsZip) {
    throw CabinetError(make_error::kBadCompression, 0);
  }
  if (stored_name.empty() || stored_name.size() > kMaxNameSize ||
      stored_name.find('\0') != std::string::npos || files_.size() >= kMaxFiles) {
    throw CabinetError(make_error::kFormatLimit, 0);
  }
  const std::uint64_t record_size = kFileRecordSize + stored_name.size() + 1;
  if (CabinetSize(data_size_, file_records_size_ + record_size) > size_limit_) {
    throw CabinetError(make_error::kFormatLimit, 0);
  }
  Source source(source_path);
  if (folder_size_ + source.size() > kMaxFolderSize) {
    throw CabinetError(make_error::kFormatLimit, make_error::kTooMuchData);
  }

  undo_.emplace();
  undo_->data_size = data_size_;
  undo_->block_count = block_count_;
  undo_->history = history_;
  undo_->pending = pending_;
  undo_->folder_type = folder_type_;
  if (folder_type_ < 0) folder_type_ = type;
  std::uint64_t size = 0;
  try {
    file_records_size_ += record_size;  // counted in while the blocks are checked
    CopyIn(source, &size);
    source.RequireUnchanged();
  } catch (...) {
    file_records_size_ -= record_size;
    Rollback();
    undo_.reset();
    throw;
  }
  undo_.reset();

  FileRecord record;
  record.name = stored_name;
  record.size = static_cast<std::uint32_t>(size);
  record.offset = static_cast<std::uint32_t>(folder_size_);
  record.date = static_cast<std::uint16_t>(dos_time >> 16);
  record.time = static_cast<std::uint16_t>(dos_time & 0xFFFF);
  record.attributes = attributes;
  files_.push_back(std::move(record));
  folder_size_ += size;
}

void CabinetWriter::Flush() {
  RequireOpen();
  // The last blocks go straight into the cabinet, so that a failed Flush
  // changes nothing and can be tried again.
  const std::array<std::size_t, 2> last = PackPending();
  const std::size_t blocks = block_count_ + (last[0] > 0 ? 1 : 0) + (last[1] > 0 ? 1 : 0);
  const std::uint64_t total = CabinetSize(data_size_ + last[0] + last[1], file_records_size_);
  // A cabinet holds a file at least: readers refuse one without.
  if (files_.empty() || total > size_limit_ || blocks > kMaxBlocks) {
    throw CabinetError(make_error::kFormatLimit, 0);
  }

  std::vector<std::uint8_t> head;
  head.reserve(static_cast<std::size_t>(kFilesOffset + file_records_size_));
  const std::uint8_t signature[] = {'M', 'S', 'C', 'F'};
  head.insert(head.end(), std::begin(signature), std::end(signature));
  AppendLittleEndian32(head, 0);
  AppendLittleEndian32(head, static_cast<std::uint32_t>(total));
  AppendLittleEndian32(head, 0);
  AppendLittleEndian32(head, static_cast<std::uint32_t>(kFilesOffset));
  AppendLittleEndian32(head, 0);
  head.push_back(3);  // version 1.3
  head.push_back(1);
  AppendLittleEndian16(head, 1);  // one folder
  AppendLittleEndian16(head, static_cast<std::uint16_t>(files_.size()));
  AppendLittleEndian16(head, 0);  // no reserved areas, no previous or next cabinet
  AppendLittleEndian16(head, params_.set_id);
  AppendLittleEndian16(head, 0);  // the first cabinet of its set

  AppendLittleEndian32(head, static_cast<std::uint32_t>(kFilesOffset + file_records_size_));
  AppendLittleEndian16(head, static_cast<std::uint16_t>(blocks));
  AppendLittleEndian16(head, static_cast<std::uint16_t>(folder_type_));

  for (const FileRecord& f : files_) {
    AppendLittleEndian32(head, f.size);
    AppendLittleEndian32(head, f.offset);
    AppendLittleEndian16(head, 0);  // folder
    AppendLittleEndian16(head, f.date);
    AppendLittleEndian16(head, f.time);
    AppendLittleEndian16(head, f.attributes);
    head.insert(head.end(), f.name.begin(), f.name.end());
    head.push_back(0);
  }

  PosixFileSystem fs;
  const std::string target = params_.cabinet_path.empty()
                                 ? params_.cabinet_name
                                 : JoinPath(params_.cabinet_path, params_.cabinet_name);
  std::vector<std::uint8_t> chunk(std::min<std::uint64_t>(data_size_, 1 << 20));
  try {
    ReplacingFile out(fs, target, job());
    out.file().Write(head.data(), head.size());
    if (data_size_ > 0) {
      try {
        data_.Seek(0);
      } catch (const Failure& e) {
        if (e.kind() != FailureKind::kIo) throw;
        throw CabinetError(make_error::kTempFile, SystemErrorOf(e));
      }
      for (std::uint64_t left = data_size_; left > 0;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, chunk.size()));
        try {
          data_.ReadExact(chunk.data(), n);
        } catch (const Failure& e) {
          if (e.kind() != FailureKind::kIo) throw;
          throw CabinetError(make_error::kTempFile, SystemErrorOf(e));
        }
        out.file().Write(chunk.data(), n);
        left -= n;
      }
    }
    out.file().Write(records_[0].data(), last[0]);
    out.file().Write(records_[1].data(), last[1]);
    out.Commit();
  } catch (const Failure& e) {
    if (e.kind() != FailureKind::kIo) throw;
    throw CabinetError(make_error::kCabinetFile, SystemErrorOf(e));
  }
  finished_ = true;
  data_ = File();
}

}  // namespace

std::unique_ptr<CabinetBuilder> MakeCabinetWriter(const CabinetParameters& params) {
  return std::make_unique<CabinetWriter>(params);
}

}  // namespace talvor::cabinet_internal

namespace talvor {

// A writer's error in words; a failure to open, read or write a file
// carries the system's error number, whose text follows ("...: Disk full").
std::string CabinetWriteErrorText(const CabinetError& e) {
  std::string text;
  switch (e.code()) {
    case cabinet_internal::make_error::kOpenSource:
      text = "the file cannot be opened";
      break;
    case cabinet_internal::make_error::kReadSource:
      text = "the file cannot be read";
      break;
    case cabinet_internal::make_error::kAllocFail:
      text = "there is not enough memory to make the cabinet";
      break;
    case cabinet_internal::make_error::kTempFile:
    case cabinet_internal::make_error::kCabinetFile:
      text = "the cabinet cannot be written";
      break;
    case cabinet_internal::make_error::kFormatLimit:
      return e.type() == cabinet_internal::make_error::kTooMuchData
                 ? "the data is too large for a cabinet: a cabinet holds less than 2 GiB"
                 : "the file does not fit a cabinet: a cabinet holds less than 2 GiB, at most "
                   "65535 files and names of at most 255 bytes";
    default:
      return e.what();
  }
  if (e.type() > 0) text += ": " + IoErrorText(IoCodeFromErrno(e.type()));
  return text;
}

}  // namespace talvor

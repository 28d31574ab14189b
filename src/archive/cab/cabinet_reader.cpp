// Cabinets are read through libmspack's cabinet decompressor, given an I/O
// layer of ours: cabinets are opened read-only from the file system, and the
// one file the decompressor writes to is the File handed to Extract, which
// it reaches under a fixed name. libmspack keeps the state of the folder it
// decoded last, so files extracted in their order within a folder are decoded
// once; the session keeps its decompressor and cabinets open for that.
#include "archive/cab/cabinet_reader.h"

#include <fcntl.h>
#include <mspack.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <exception>
#include <optional>
#include <set>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/failure.h"
#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/progress.h"

namespace talvor::cabinet_internal {

namespace {

// The name under which the decompressor opens its output.
constexpr char kOutputName[] = "<talvor cabinet output>";
// libmspack's windows and buffers take 2 MiB at most; a request for much more
// can only come from a damaged cabinet.
constexpr std::size_t kMaxAllocation = std::size_t{64} << 20;
constexpr int kInputBufferSize = 64 * 1024;
constexpr std::size_t kMaxCabinetsInSet = 0xFFFF;

struct IoSystem {
  mspack_system base;  // first, so that the library's pointer leads back here
  File* output = nullptr;
  Job* job = nullptr;  // counts what is written to the output
  // Why a write to the output failed (a full disk, a cancel): the library
  // only learns that it did.
  std::exception_ptr write_error;
};
static_assert(std::is_standard_layout_v<IoSystem>);

// What the library holds as an open file.
struct Handle {
  File input;
  File* output = nullptr;
  IoSystem* system = nullptr;  // for the output
  File& file() { return output != nullptr ? *output : input; }
};

IoSystem* SystemOf(mspack_system* self) {
  return reinterpret_cast<IoSystem*>(self);
}

Handle* HandleOf(mspack_file* file) {
  return reinterpret_cast<Handle*>(file);
}

// A cabinet, opened for reading: a regular file only (a pipe would block, a
// device never end).
File OpenCabinetFile(const char* name) {
  UniqueFd fd;
  do {
    fd = UniqueFd(::open(name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  } while (!fd.valid() && errno == EINTR);
  struct stat st {};
  if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return File();
  return File(std::move(fd), name);
}

// The library calls these through C: nothing may escape them.

mspack_file* SysOpen(mspack_system* self, const char* filename, int mode) {
  try {
    auto handle = std::make_unique<Handle>();
    if (mode == MSPACK_SYS_OPEN_READ) {
      handle->input = OpenCabinetFile(filename);
      if (!handle->input.IsOpen()) return nullptr;
    } else if (mode == MSPACK_SYS_OPEN_WRITE && std::strcmp(filename, kOutputName) == 0 &&
               SystemOf(self)->output != nullptr) {
      handle->output = SystemOf(self)->output;
      handle->system = SystemOf(self);
    } else {
      return nullptr;  // cabinets are only read, and nothing else is written
    }
    return reinterpret_cast<mspack_file*>(handle.release());
  } catch (...) {
    return nullptr;
  }
}

void SysClose(mspack_file* file) {
  const std::unique_ptr<Handle> handle(HandleOf(file));
}

int SysRead(mspack_file* file, void* buffer, int bytes) {
  // The library may pass a file it never opened (seen with damaged cabinets).
  if (bytes < 0 || file == nullptr) return -1;
  try {
    return static_cast<int>(HandleOf(file)->file().Read(buffer, static_cast<std::size_t>(bytes)));
  } catch (...) {
    return -1;
  }
}

int SysWrite(mspack_file* file, void* buffer, int bytes) {
  if (bytes < 0 || file == nullptr) return -1;
  try {
    HandleOf(file)->file().Write(buffer, static_cast<std::size_t>(bytes));
    IoSystem* system = HandleOf(file)->system;
    if (system != nullptr && system->job != nullptr) {
      system->job->Advance(static_cast<std::uint64_t>(bytes));
    }
    return bytes;
  } catch (...) {
    if (IoSystem* system = HandleOf(file)->system) system->write_error = std::current_exception();
    return -1;
  }
}

int SysSeek(mspack_file* file, off_t offset, int mode) {
  if (file == nullptr) return -1;
  try {
    File& f = HandleOf(file)->file();
    const std::int64_t size = f.Size();
    std::int64_t base = 0;
    switch (mode) {
      case MSPACK_SYS_SEEK_START:
        break;
      case MSPACK_SYS_SEEK_CUR:
        base = f.Position();
        break;
      case MSPACK_SYS_SEEK_END:
        base = size;
        break;
      default:
        return -1;
    }
    // Only positions inside the file: a damaged cabinet points anywhere.
    if (offset < -base || offset > size - base) return -1;
    f.Seek(base + offset);
    return 0;
  } catch (...) {
    return -1;
  }
}

off_t SysTell(mspack_file* file) {
  if (file == nullptr) return -1;
  try {
    return static_cast<off_t>(HandleOf(file)->file().Position());
  } catch (...) {
    return -1;
  }
}

void SysMessage(mspack_file* /*file*/, const char* /*format*/, ...) {}

void* SysAlloc(mspack_system* /*self*/, std::size_t bytes) {
  if (bytes > kMaxAllocation) return nullptr;
  return std::malloc(bytes == 0 ? 1 : bytes);  // NOLINT(cppcoreguidelines-no-malloc)
}

void SysFree(void* ptr) {
  std::free(ptr);  // NOLINT(cppcoreguidelines-no-malloc)
}

void SysCopy(void* src, void* dest, std::size_t bytes) {
  std::memcpy(dest, src, bytes);
}

std::unique_ptr<IoSystem> MakeIoSystem() {
  auto system = std::make_unique<IoSystem>();
  system->base = mspack_system{SysOpen,    SysClose, SysRead, SysWrite, SysSeek, SysTell,
                               SysMessage, SysAlloc, SysFree, SysCopy,  nullptr};
  return system;
}

struct DecompressorDeleter {
  void operator()(mscab_decompressor* d) const noexcept { mspack_destroy_cab_decompressor(d); }
};
using Decompressor = std::unique_ptr<mscab_decompressor, DecompressorDeleter>;

// Closes a cabinet and every cabinet appended to it.
struct CabinetCloser {
  mscab_decompressor* decompressor = nullptr;
  void operator()(mscabd_cabinet* cabinet) const noexcept {
    decompressor->close(decompressor, cabinet);
  }
};
using Cabinet = std::unique_ptr<mscabd_cabinet, CabinetCloser>;

CabinetError ErrorFor(int mspack_error) {
  switch (mspack_error) {
    case MSPACK_ERR_OPEN:
      return CabinetError(read_error::kCabinetNotFound, mspack_error);
    case MSPACK_ERR_SIGNATURE:
      return CabinetError(read_error::kNotACabinet, mspack_error);
    case MSPACK_ERR_NOMEMORY:
      return CabinetError(read_error::kAllocFail, mspack_error);
    case MSPACK_ERR_DECRUNCH:
      return CabinetError(read_error::kDecompressorFail, mspack_error);
    case MSPACK_ERR_WRITE:
      return CabinetError(read_error::kTargetFile, mspack_error);
    default:  // read, seek, data format, checksum
      return CabinetError(read_error::kCorruptCabinet, mspack_error);
  }
}

Decompressor MakeDecompressor(IoSystem& system) {
  Decompressor d(mspack_create_cab_decompressor(&system.base));
  if (!d) throw CabinetError(read_error::kAllocFail, MSPACK_ERR_NOMEMORY);
  // Damaged data is an error, never repaired or skipped.
  d->set_param(d.get(), MSCABD_PARAM_FIXMSZIP, 0);
  d->set_param(d.get(), MSCABD_PARAM_SALVAGE, 0);
  d->set_param(d.get(), MSCABD_PARAM_DECOMPBUF, kInputBufferSize);
  return d;
}

std::optional<std::pair<dev_t, ino_t>> IdentityOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return std::make_pair(st.st_dev, st.st_ino);
}

char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// The next cabinet of a set: a file of that name in the folder of the
// cabinet before it. The names come from MS-DOS, where case does not count.
std::optional<std::string> FindNextCabinet(const std::string& folder, const std::string& name) {
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
      name.find('\\') != std::string::npos) {
    return std::nullopt;
  }
  PosixFileSystem fs;
  const auto in_folder = [&folder](const std::string& n) {
    return folder.empty() ? n : JoinPath(folder, n);
  };
  if (fs.Stat(in_folder(name)).is_regular) return in_folder(name);
  try {
    for (const std::string& candidate : fs.ListFiles(folder.empty() ? "." : folder)) {
      if (SameNameIgnoringCase(candidate, name) && fs.Stat(in_folder(candidate)).is_regular) {
        return in_folder(candidate);
      }
    }
  } catch (const Failure& e) {
    if (e.kind() != FailureKind::kIo) throw;
    // an unreadable folder: the set ends here
  }
  return std::nullopt;
}

std::uint32_t DosTimeOf(const mscabd_file& f) {
  const auto byte = [](char c) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(c));
  };
  const std::uint32_t date = (static_cast<std::uint32_t>(f.date_y - 1980) & 0x7F) << 9 |
                             (byte(f.date_m) & 0x0F) << 5 | (byte(f.date_d) & 0x1F);
  const std::uint32_t time =
      (byte(f.time_h) & 0x1F) << 11 | (byte(f.time_m) & 0x3F) << 5 | (byte(f.time_s) >> 1 & 0x1F);
  return date << 16 | time;
}

class MspackSession final : public CabinetSession {
 public:
  explicit MspackSession(const std::string& path)
      : system_(MakeIoSystem()), decompressor_(MakeDecompressor(*system_)) {
    names_.push_back(path);
    cabinet_ = Cabinet(decompressor_->open(decompressor_.get(), names_.back().c_str()),
                       CabinetCloser{decompressor_.get()});
    if (cabinet_) {
      FollowSet(path);
    } else {
      const int error = decompressor_->last_error(decompressor_.get());
      // Cabinets later in the file (behind a program that unpacks them, or
      // other data) are found by a search, as cabextract finds them.
      if (error == MSPACK_ERR_SIGNATURE || error == MSPACK_ERR_DATAFORMAT) {
        cabinet_ = Cabinet(decompressor_->search(decompressor_.get(), names_.back().c_str()),
                           CabinetCloser{decompressor_.get()});
      }
      if (!cabinet_) throw ErrorFor(error);
    }
    // After a set is joined, every cabinet of it has the same list; cabinets
    // a search found follow one another.
    for (mscabd_cabinet* cabinet = cabinet_.get(); cabinet != nullptr; cabinet = cabinet->next) {
      AddFiles(*cabinet);
    }
  }

  const std::vector<CabinetEntry>& Files() const override { return entries_; }

  void Extract(std::size_t index, File& out, Job& job) override {
    if (index >= files_.size()) throw std::out_of_range("no such file in the cabinet");
    system_->output = &out;
    system_->job = &job;
    system_->write_error = nullptr;
    const int rc = decompressor_->extract(decompressor_.get(), files_[index], kOutputName);
    system_->output = nullptr;
    system_->job = nullptr;
    // A cancel ends the writes, which the library takes for an error; so
    // does a full disk, which is said as it is.
    if (rc != MSPACK_ERR_OK && job.cancelled()) throw CancelFailure();
    if (rc != MSPACK_ERR_OK && system_->write_error) std::rethrow_exception(system_->write_error);
    if (rc != MSPACK_ERR_OK) throw ErrorFor(rc);
  }

 private:
  void AddFiles(const mscabd_cabinet& cabinet) {
    for (mscabd_file* f = cabinet.files; f != nullptr; f = f->next) {
      CabinetEntry entry;
      entry.name = f->filename != nullptr ? f->filename : "";
      entry.size = f->length;
      entry.dos_time = DosTimeOf(*f);
      entry.attributes = static_cast<std::uint16_t>(f->attribs);
      entry.compression =
          f->folder != nullptr ? static_cast<std::uint16_t>(f->folder->comp_type) : 0;
      entries_.push_back(std::move(entry));
      files_.push_back(f);
    }
  }

  // Appends the cabinets that follow, as long as they are found beside the
  // first one and belong to its set.
  void FollowSet(const std::string& path) {
    const std::string folder = ExtractFileDir(path);
    std::set<std::pair<dev_t, ino_t>> seen;
    if (const auto id = IdentityOf(path)) seen.insert(*id);
    mscabd_cabinet* last = cabinet_.get();
    while (seen.size() < kMaxCabinetsInSet && (last->flags & MSCAB_HDR_NEXTCAB) != 0 &&
           last->nextname != nullptr) {
      const std::optional<std::string> next = FindNextCabinet(folder, last->nextname);
      if (!next) return;
      const auto id = IdentityOf(*next);
      if (!id || !seen.insert(*id).second) return;  // a set that runs in a circle
      names_.push_back(*next);
      Cabinet cabinet(decompressor_->open(decompressor_.get(), names_.back().c_str()),
                      CabinetCloser{decompressor_.get()});
      if (!cabinet) return;
      if (decompressor_->append(decompressor_.get(), last, cabinet.get()) != MSPACK_ERR_OK) {
        return;
      }
      last = cabinet.release();  // closed with the first one from now on
    }
  }

  // Declared in the order they are needed; they go in the reverse one.
  std::unique_ptr<IoSystem> system_;
  Decompressor decompressor_;
  std::deque<std::string> names_;  // the library keeps pointers to these
  Cabinet cabinet_;
  std::vector<mscabd_file*> files_;
  std::vector<CabinetEntry> entries_;
};

}  // namespace

bool ReaderUsable() {
  int result = MSPACK_ERR_OK;
  MSPACK_SYS_SELFTEST(result);
  return result == MSPACK_ERR_OK && mspack_version(MSPACK_VER_SYSTEM) >= 1 &&
         mspack_version(MSPACK_VER_MSCABD) >= 1;
}

bool IsCabinetFile(const std::string& path) {
  try {
    const std::unique_ptr<IoSystem> system = MakeIoSystem();
    const Decompressor decompressor = MakeDecompressor(*system);
    const Cabinet cabinet(decompressor->open(decompressor.get(), path.c_str()),
                          CabinetCloser{decompressor.get()});
    return cabinet != nullptr;
  } catch (const CabinetError&) {
    return false;
  }
}

std::unique_ptr<CabinetSession> OpenCabinetSet(const std::string& path) {
  return std::make_unique<MspackSession>(path);
}

}  // namespace talvor::cabinet_internal

namespace talvor {

// A cabinet reader's error in words.
std::string CabinetReadErrorText(const CabinetError& e) {
  switch (e.code()) {
    case cabinet_internal::read_error::kCabinetNotFound:
      return "the cabinet cannot be opened";
    case cabinet_internal::read_error::kNotACabinet:
      return "the file holds no cabinet";
    case cabinet_internal::read_error::kAllocFail:
      return "there is not enough memory to read the cabinet";
    case cabinet_internal::read_error::kDecompressorFail:
      return "the compressed data is damaged";
    case cabinet_internal::read_error::kTargetFile:
      return "the unpacked file cannot be written";
    case cabinet_internal::read_error::kCorruptCabinet:
      switch (e.type()) {
        case MSPACK_ERR_READ:
          return "the cabinet ends early: it is cut short or damaged";
        case MSPACK_ERR_SEEK:
          return "the cabinet points outside the file: it is cut short or damaged";
        case MSPACK_ERR_CHECKSUM:
          return "a block of data fails its checksum: the cabinet is damaged";
        default:
          return "the cabinet's headers are damaged";
      }
    default:
      return e.what();
  }
}

}  // namespace talvor

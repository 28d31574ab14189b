// The cabinet library: Microsoft Cabinet (.cab) files, written and read.
//
// Writing is our own: one folder, MSZIP blocks (a Deflate stream of at most
// 32 KiB of input each, with the history kept across blocks) or stored
// blocks, the data blocks' checksums. Reading goes through libmspack
// (MSZIP, LZX, Quantum and stored folders, cabinet sets); its types stay
// inside this layer.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/progress.h"

namespace talvor {

// A failure of the library: "Cabinet error %d (type %d)", with the error
// code of the cabinet interfaces (1 cannot open a file, 2 not a cabinet / a
// source that cannot be read, 4 damaged cabinet, ...) and an additional
// value (the system's error number, or the decoder's own code).
class CabinetError : public std::runtime_error {
 public:
  CabinetError(int code, int type);
  [[nodiscard]] int code() const noexcept { return code_; }
  [[nodiscard]] int type() const noexcept { return type_; }

 private:
  int code_;
  int type_;
};

// What went wrong, in words: for an error of reading a cabinet, and for one
// of making a cabinet (where the system's error follows, "...: Disk full").
[[nodiscard]] std::string CabinetReadErrorText(const CabinetError& e);
[[nodiscard]] std::string CabinetWriteErrorText(const CabinetError& e);

// The cabinet description handed over when a cabinet is started.
struct CabinetParameters {
  std::uint32_t max_cabinet_size = 0x7FFFFFFF;
  std::uint32_t folder_threshold = 0x7FFFFFFF;
  bool fail_on_incompressible = true;
  std::uint16_t set_id = 0;
  std::string cabinet_name;  // file name of the cabinet
  std::string cabinet_path;  // its folder
  Job* job = nullptr;        // counts the data read; none: a quiet job of its own
};

// Compression type values: 0 none, 1 MSZIP, 2 Quantum, 3 LZX (with the
// window bits or levels in the higher bits).
namespace cabinet_compression {
inline constexpr std::uint16_t kNone = 0;
inline constexpr std::uint16_t kMsZip = 1;
inline constexpr std::uint16_t kQuantum = 2;
inline constexpr std::uint16_t kLzx = 3;
}  // namespace cabinet_compression

// A cabinet being made. Files are added one after the other; Flush writes
// the cabinet, which replaces a file of that name only when complete.
class CabinetBuilder {
 public:
  virtual ~CabinetBuilder() = default;
  // `stored_name`: the name in the cabinet (code-page bytes); `dos_time`:
  // MS-DOS date in the high 16 bits, time in the low 16 bits.
  virtual void AddFile(const std::string& source_path, const std::string& stored_name,
                       std::uint16_t attributes, std::uint32_t dos_time,
                       std::uint16_t compression) = 0;
  virtual void Flush() = 0;
};

// One file of a cabinet (or of the set that starts with it).
struct CabinetEntry {
  std::string name;  // as stored (code-page bytes, "\" between folders)
  std::uint64_t size = 0;
  std::uint32_t dos_time = 0;
  std::uint16_t attributes = 0;
  std::uint16_t compression = 0;  // of the file's folder
};

// An open cabinet, with the cabinets that follow it in the same folder.
class CabinetSession {
 public:
  virtual ~CabinetSession() = default;
  [[nodiscard]] virtual const std::vector<CabinetEntry>& Files() const = 0;
  // Decodes file `index` into `out`; a damaged cabinet raises CabinetError.
  virtual void Extract(std::size_t index, File& out, Job& job) = 0;
};

class CabinetLibrary {
 public:
  virtual ~CabinetLibrary() = default;
  // Whether the library can be used on this machine.
  [[nodiscard]] virtual bool Available() = 0;
  [[nodiscard]] virtual std::unique_ptr<CabinetBuilder> Create(const CabinetParameters& params) = 0;
  [[nodiscard]] virtual bool IsCabinet(const std::string& path) = 0;
  // Opens a cabinet and the cabinets it names as following it, as long as
  // they lie in the same folder and are cabinets.
  [[nodiscard]] virtual std::unique_ptr<CabinetSession> Open(const std::string& path) = 0;
};

// Our writer and libmspack's reader.
[[nodiscard]] std::unique_ptr<CabinetLibrary> MakeCabinetLibrary();

}  // namespace talvor

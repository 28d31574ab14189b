// Cabinet (.cab) archives through the cabinet library: the writer TMakeCab
// always writes a new cabinet with one folder; the reader TUnCab lists and
// copies every file of a cabinet and of the cabinets that follow it.
#pragma once

#include <memory>

#include "archive/archive_reader.h"
#include "archive/archive_writer.h"
#include "archive/cab/cabinet.h"

namespace talvor {

class TCabInterface : public TCompBase {
 public:
  TCabInterface(FileSystem& fs, CabinetLibrary& library);

  bool FailOnIncompressible = true;
  // Window bits of LZX (15..21) and Quantum's level (1..7) and memory
  // (10..21); out-of-range values become the nearest bound.
  void SetLzxLevel(int level);
  void SetQuantumLevel(int level);
  void SetQuantumMemory(int memory);

 protected:
  // The compression type value for CompressMethod.
  [[nodiscard]] std::uint16_t CompressionType() const;

  CabinetLibrary& library_;
  int lzx_level_ = 21;
  int quantum_level_ = 7;
  int quantum_memory_ = 21;
};

class TMakeCab : public TCabInterface {
 public:
  using TCabInterface::TCabInterface;

  int Compress() override;

 protected:
  bool AcceptsMethod(TCompressMethod method) const override;
  // A cabinet is never read back for an update.
  std::vector<CompEntry> ReadExistingEntries(File& archive) override;
  [[nodiscard]] std::string RecordedName(const CompEntry& entry) const override;
  bool WriteNewEntry(CompEntry& entry, File& out) override;
};

class TUnCab : public TUnBase {
 public:
  TUnCab(FileSystem& fs, CabinetLibrary& library) : TUnBase(fs), library_(library) {}

 protected:
  void WalkEntries(File& archive, const std::function<void(const ArchiveEntry&)>& visit) override;
  std::uint32_t DecodeEntry(File& archive, const ArchiveEntry& entry, File& out) override;
  // The decompressor's output: a cabinet's folders are compressed as a whole.
  [[nodiscard]] std::uint64_t EntryWork(const ArchiveEntry& entry) const override {
    return entry.original_size;
  }

 private:
  CabinetLibrary& library_;
  std::unique_ptr<CabinetSession> session_;
};

}  // namespace talvor

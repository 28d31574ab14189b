// Cabinet (.cab) archives through the cabinet library: the writer CabWriter
// always writes a new cabinet with one folder; the reader CabReader lists and
// copies every file of a cabinet and of the cabinets that follow it.
#pragma once

#include <memory>

#include "archive/archive_reader.h"
#include "archive/archive_writer.h"
#include "archive/cab/cabinet.h"

namespace talvor {

class CabWriterBase : public ArchiveWriter {
 public:
  CabWriterBase(FileSystem& fs, CabinetLibrary& library);

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

class CabWriter : public CabWriterBase {
 public:
  using CabWriterBase::CabWriterBase;

  int Compress() override;

 protected:
  bool AcceptsMethod(PackingMethod method) const override;
  // A cabinet is never read back for an update.
  std::vector<WriterEntry> ReadExistingEntries(File& archive) override;
  [[nodiscard]] std::string RecordedName(const WriterEntry& entry) const override;
  bool WriteNewEntry(WriterEntry& entry, File& out) override;
};

class CabReader : public ArchiveReader {
 public:
  CabReader(FileSystem& fs, CabinetLibrary& library) : ArchiveReader(fs), library_(library) {}

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

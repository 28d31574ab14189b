#include "archive/archive_component.h"

#include <optional>

#include "platform/failure.h"
#include "platform/text.h"

namespace talvor {

namespace {

// Encodes text into a code page; characters it cannot hold become "_", and
// so does every byte of a name that is not valid UTF-8 (a name on this
// system may be any bytes; stored raw it would come back as other
// characters, and a 0xFF or "\" among them as a folder).
std::string EncodeLossy(const CodePage& page, const std::string& utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t len = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    const auto decoded = DecodeUtf8(std::string_view(utf8).substr(i, len));
    if (!decoded || decoded->size() != 1) {
      out.push_back('_');
      ++i;
      continue;
    }
    const auto b = page.FromUnicode((*decoded)[0]);
    out.push_back(b ? static_cast<char>(*b) : '_');
    i += len;
  }
  return out;
}

}  // namespace

void RefuseName(const std::string& path, const std::string& why, std::string_view where) {
  throw Failure(FailureKind::kRefused, "The name of the file \"" + path + "\" " + why +
                                           ": it cannot be recorded in " + std::string(where) +
                                           ". Please rename the file first!");
}

void RequireRecordableName(const std::string& name, const std::string& path, std::string_view where,
                           const std::vector<std::string>& separators) {
  if (!DecodeUtf8(name)) RefuseName(path, "is not valid UTF-8 text", where);
  for (const std::string& separator : separators) {
    if (name.find(separator) == std::string::npos) continue;
    RefuseName(path,
               (separator == "\u00A0" ? std::string("holds a no-break space")
                                      : "holds the character \"" + separator + "\"") +
                   ", which is read back as a folder separator",
               where);
  }
}

std::string ArchiveErrorLine(const ArchiveError& error) {
  std::string line = ArchiveErrorText(error.code);
  if (!error.file.empty()) line += ": " + error.file;
  if (!error.extra.empty()) line += " (" + error.extra + ")";
  return line;
}

Failure EngineFailure(int code, std::string detail) {
  return Failure(FailureKind::kArchive, ArchiveErrorText(code))
      .WithCode(code)
      .WithDetail(std::move(detail));
}

std::string ArchiveErrorText(int code) {
  switch (code) {
    case archive_error::kBadFileHeader:
      return "Bad file header";
    case archive_error::kBadLocalHeaderOffset:
      return "Bad offset to local header";
    case archive_error::kErrorWriting:
      return "Error writing to file";
    case archive_error::kErrorClosing:
      return "Error closing file";
    case archive_error::kCrcFailure:
      return "File fails CRC check";
    case archive_error::kInvalidDirectory:
      return "Invalid directory";
    case archive_error::kDiskFull:
      return "Disk full";
    case archive_error::kFileNotFound:
      return "File not found";
    case archive_error::kErrorOpening:
      return "Error opening file";
    case archive_error::kUnsupportedArchive:
      return "Invalid or unsupported archive type for this operation";
    case archive_error::kCabinetLibraryMissing:
      return "Cabinet.dll not found";
    case archive_error::kNothingToDo:
      return "Nothing to do";
    case archive_error::kEventNotAssigned:
      return "Required event not assigned";
    case archive_error::kUnsupportedMethod:
      return "Unsupported compression method";
    default:
      return "Error " + std::to_string(code);
  }
}

void ArchiveComponent::ReportError(int code, const std::string& file, const std::string& extra) {
  if (OnError) OnError(ArchiveError{code, file, extra});
}

void ArchiveComponent::ReportFailure(const std::exception& e, const std::string& file,
                                     const FailureCodes& codes) {
  const auto* failure = dynamic_cast<const Failure*>(&e);
  if (failure != nullptr && failure->kind() == FailureKind::kArchive) {
    ReportError(failure->code(), file, failure->detail());
  } else if (failure != nullptr && failure->kind() == FailureKind::kIo) {
    const bool full = codes.disk_full && failure->code() == io_code::kDiskFull;
    ReportError(full ? archive_error::kDiskFull : codes.io, file, e.what());
  } else {
    ReportError(codes.other, file, codes.words_prefix + std::string(e.what()));
  }
}

std::string ArchiveComponent::ToStoredName(const std::string& name) const {
  return EncodeLossy(OemCodePage(), name);
}

std::string ArchiveComponent::ExactStoredName(const std::string& name, const std::string& path,
                                              std::string_view where,
                                              const std::vector<std::string>& separators) const {
  RequireRecordableName(name, path, where, separators);
  const CodePage& page = OemCodePage();
  const std::optional<std::string> stored = page.Encode(name);
  if (!stored) {
    RefuseName(path,
               "holds the character \"" + page.FirstUnencodable(name) +
                   "\", which the Central European (DOS 852) character set does not hold",
               where);
  }
  return *stored;
}

std::string ArchiveComponent::FromStoredName(const std::string& stored) const {
  return OemCodePage().Decode(stored);
}

}  // namespace talvor

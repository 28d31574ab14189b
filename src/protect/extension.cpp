#include "protect/extension.h"

#include "platform/failure.h"
#include "platform/path.h"
#include "platform/text.h"

namespace talvor {

std::string RecordedExtension(const std::string& path, std::size_t max_length) {
  const std::string ext = ExtractFileExt(path);
  const auto bytes = AnsiCodePage().Encode(ext);
  if (!bytes) {
    throw Failure(FailureKind::kRefused,
                  "The extension of the file \"" + ExtractFileName(path) +
                      "\" holds characters outside the Central European (Windows-1250) "
                      "character set and cannot be recorded. Please rename the file first!");
  }
  if (bytes->size() > max_length) {
    throw Failure(FailureKind::kRefused,
                  "The extension \"" + ext + "\" is too long to be recorded: at most " +
                      std::to_string(max_length) +
                      " characters, dot included. Please rename the file first!");
  }
  return *bytes;
}

std::string ExtensionFromRecord(std::string_view recorded) {
  const bool valid = recorded.empty() ||
                     (recorded.front() == '.' && recorded.find('/') == std::string_view::npos &&
                      recorded.find('\0') == std::string_view::npos);
  if (!valid)
    throw Failure(FailureKind::kDamaged, "The file records an extension that is not valid");
  return AnsiCodePage().Decode(recorded);
}

std::size_t CountFromDigit(int b) {
  if (b < 0) RaiseIoError(io_code::kReadBeyondEnd);
  if (b < '0' || b > '9') {
    std::string text =
        b == 0 ? std::string() : AnsiCodePage().Decode(std::string(1, static_cast<char>(b)));
    throw Failure(FailureKind::kDamaged, NotAnIntegerText(text));
  }
  return static_cast<std::size_t>(b - '0');
}

std::size_t ReadCountDigit(File& file) {
  return CountFromDigit(file.ReadByte());
}

char CountDigit(std::size_t length) {
  return static_cast<char>('0' + length % 10);
}

std::string ExtensionHeader(const std::string& recorded_extension) {
  std::string header(1, CountDigit(recorded_extension.size()));
  for (const char c : recorded_extension) header.push_back(static_cast<char>(c ^ kHeaderMask));
  return header;
}

void WriteExtensionHeader(File& out, const std::string& recorded_extension) {
  const std::string header = ExtensionHeader(recorded_extension);
  out.Write(header.data(), header.size());
}

std::string ExtensionFromMasked(std::string masked) {
  for (char& c : masked) c = static_cast<char>(c ^ kHeaderMask);
  return ExtensionFromRecord(masked);
}

std::string ReadExtensionHeader(File& in) {
  const std::size_t n = ReadCountDigit(in);
  std::string masked(n, '\0');
  in.ReadExact(masked.data(), n);
  return ExtensionFromMasked(std::move(masked));
}

void RequireResultIsNotSource(FileSystem& fs, const std::string& source,
                              const std::string& result) {
  if (result == source || fs.SameFile(source, result)) {
    throw Failure(FailureKind::kRefused,
                  "The result would take the place of the file \"" + source +
                      "\" itself, which the command reads. Nothing was done; please rename "
                      "the file first!");
  }
}

}  // namespace talvor

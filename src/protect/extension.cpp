#include "protect/extension.h"

#include "platform/failure.h"
#include "platform/path.h"
#include "platform/text.h"

namespace talvor {

std::string RecordedExtension(const std::string& path, std::size_t max_length) {
  const std::string ext = ExtractFileExt(path);
  const auto bytes = AnsiCodePage().Encode(ext);
  if (!bytes) {
    throw RefusedInput("The extension of the file \"" + ExtractFileName(path) +
                       "\" holds characters outside the Central European (Windows-1250) "
                       "character set and cannot be recorded. Please rename the file first!");
  }
  if (bytes->size() > max_length) {
    throw RefusedInput("The extension \"" + ext + "\" is too long to be recorded: at most " +
                       std::to_string(max_length) +
                       " characters, dot included. Please rename the file first!");
  }
  return *bytes;
}

std::string ExtensionFromRecord(std::string_view recorded) {
  const bool valid = recorded.empty() ||
                     (recorded.front() == '.' && recorded.find('/') == std::string_view::npos &&
                      recorded.find('\0') == std::string_view::npos);
  if (!valid) throw Failure("The file records an extension that is not valid");
  return AnsiCodePage().Decode(recorded);
}

std::size_t ReadCountDigit(File& file) {
  const int b = file.ReadByte();
  if (b < 0) RaiseIoError(io_code::kReadBeyondEnd, file.path());
  if (b < '0' || b > '9') {
    std::string text =
        b == 0 ? std::string() : AnsiCodePage().Decode(std::string(1, static_cast<char>(b)));
    throw Failure(NotAnIntegerText(text));
  }
  return static_cast<std::size_t>(b - '0');
}

char CountDigit(std::size_t length) {
  return static_cast<char>('0' + length % 10);
}

}  // namespace talvor

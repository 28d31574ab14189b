#include "cli/progress_line.h"

#include <utility>

#include "platform/progress.h"

namespace talvor {

namespace {
constexpr auto kQuietTime = std::chrono::milliseconds(500);
constexpr char kClearLine[] = "\r\033[K";
}  // namespace

ProgressLine::ProgressLine(std::ostream& out, std::string name, std::uint64_t size, Now now)
    : out_(out), name_(std::move(name)), size_(size), now_(std::move(now)) {}

ProgressLine::~ProgressLine() {
  if (shown_) out_ << kClearLine << std::flush;
}

void ProgressLine::Report(std::uint64_t done, std::uint64_t total) {
  if (!started_) {
    started_ = true;
    start_ = now_();
  }
  if (total == 0) return;
  if (done >= total) {
    if (shown_) out_ << kClearLine << std::flush;
    shown_ = false;
    return;
  }
  const auto elapsed = now_() - start_;
  if (elapsed < kQuietTime) return;
  const double part = static_cast<double>(done) / static_cast<double>(total);
  const int percent = static_cast<int>(part * 100);
  if (percent == last_percent_) return;
  last_percent_ = percent;
  const double seconds = std::chrono::duration<double>(elapsed).count();
  out_ << kClearLine << "talvor: " << name_ << ": " << ProgressSummary(done, total, size_, seconds)
       << std::flush;
  shown_ = true;
}

void TerminalProgress::Open(const std::string& title, const std::string& file, CancelToken*) {
  line_.reset();
  const FileInfo info = fs_.Stat(file);
  line_.emplace(out_, title, info.exists ? static_cast<std::uint64_t>(info.size) : 0);
}

void TerminalProgress::Update(std::uint64_t done, std::uint64_t total) {
  if (line_) line_->Report(done, total);
}

}  // namespace talvor

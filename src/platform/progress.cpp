#include "platform/progress.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace talvor {

Job::Job(ProgressCallback report, const CancelToken* cancel, std::uint64_t step)
    : report_(std::move(report)), cancel_(cancel), step_(std::max<std::uint64_t>(step, 1)) {}

void Job::Report() noexcept {
  if (!report_) return;
  try {
    report_(done_, total_);
  } catch (...) {  // NOLINT(bugprone-empty-catch): a display must not end the work
  }
}

void Job::Expect(std::uint64_t bytes) noexcept {
  total_ += bytes;
  if (done_ == 0) Report();  // the operation starts
}

void Job::Advance(std::uint64_t bytes) {
  if (bytes != 0) {
    done_ += bytes;
    if (done_ >= next_report_ || done_ >= total_) {
      next_report_ = done_ + step_;
      Report();
    }
  }
  if (cancelled()) throw CancelFailure();
}

bool Job::cancelled() const noexcept {
  return cancel_ != nullptr && cancel_->cancelled();
}

ExpectedWork::ExpectedWork(Job& job, std::uint64_t bytes) noexcept : job_(job) {
  counted_ = job_.declared_++ == 0;
  if (counted_) job_.Expect(bytes);
}

void ExpectedWork::Add(std::uint64_t bytes) noexcept {
  if (counted_) job_.Expect(bytes);
}

void ExpectedWork::Finish() {
  if (!counted_ || job_.done_ >= job_.total_) return;
  job_.Advance(job_.total_ - job_.done_);
}

ExpectedWork::~ExpectedWork() {
  --job_.declared_;
}

std::string ProgressSummary(std::uint64_t done, std::uint64_t total, std::uint64_t file_size,
                            double seconds) {
  const double part =
      total == 0 ? 0 : std::min(1.0, static_cast<double>(done) / static_cast<double>(total));
  const double left = part > 0 ? seconds * (1 - part) / part : 0;
  const double mib = static_cast<double>(file_size) / (1 << 20);
  char text[160];
  std::snprintf(text, sizeof text, "%d %% (%.1f of %.1f MiB), about %.0f s left",
                static_cast<int>(part * 100), part * mib, mib, left);
  return text;
}

}  // namespace talvor

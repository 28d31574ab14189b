#include "platform/progress.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace talvor {

namespace {
thread_local ProgressScope* current = nullptr;
thread_local CancellationScope* current_cancellation = nullptr;
}  // namespace

ProgressScope::ProgressScope(ProgressCallback callback, std::uint64_t step)
    : callback_(std::move(callback)), step_(std::max<std::uint64_t>(step, 1)), outer_(current) {
  current = this;
}

ProgressScope::~ProgressScope() {
  current = outer_;
}

void ProgressScope::Report() noexcept {
  if (!callback_) return;
  try {
    callback_(done_, total_);
  } catch (...) {  // NOLINT(bugprone-empty-catch): a display must not end the work
  }
}

void ExpectWork(std::uint64_t bytes) noexcept {
  ProgressScope* scope = current;
  if (scope == nullptr) return;
  scope->total_ += bytes;
  if (scope->done_ == 0) scope->Report();  // the operation starts
}

ExpectedWork::ExpectedWork(std::uint64_t bytes) noexcept : scope_(current) {
  if (scope_ == nullptr) return;
  counted_ = scope_->declared_++ == 0;
  if (counted_) ExpectWork(bytes);
}

void ExpectedWork::Add(std::uint64_t bytes) noexcept {
  if (counted_ && scope_ == current) ExpectWork(bytes);
}

void ExpectedWork::Finish() {
  if (!counted_ || scope_ != current || scope_->done_ >= scope_->total_) return;
  AdvanceWork(scope_->total_ - scope_->done_);
}

ExpectedWork::~ExpectedWork() {
  if (scope_ != nullptr) --scope_->declared_;
}

CancellationScope::CancellationScope(std::function<bool()> cancelled)
    : cancelled_(std::move(cancelled)), outer_(current_cancellation) {
  current_cancellation = this;
}

CancellationScope::~CancellationScope() {
  current_cancellation = outer_;
}

void AdvanceWork(std::uint64_t bytes) {
  ProgressScope* scope = current;
  if (scope != nullptr && bytes != 0) {
    scope->done_ += bytes;
    if (scope->done_ >= scope->next_report_ || scope->done_ >= scope->total_) {
      scope->next_report_ = scope->done_ + scope->step_;
      scope->Report();
    }
  }
  if (WorkCancelled()) throw CancelFailure();
}

bool WorkCancelled() {
  const CancellationScope* cancellation = current_cancellation;
  return cancellation != nullptr && cancellation->cancelled_ && cancellation->cancelled_();
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

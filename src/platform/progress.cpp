#include "platform/progress.h"

#include <algorithm>
#include <utility>

namespace talvor {

namespace {
thread_local ProgressScope* current = nullptr;
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

void ExpectedWork::Finish() noexcept {
  if (!counted_ || scope_ != current || scope_->done_ >= scope_->total_) return;
  AdvanceWork(scope_->total_ - scope_->done_);
}

ExpectedWork::~ExpectedWork() {
  if (scope_ != nullptr) --scope_->declared_;
}

void AdvanceWork(std::uint64_t bytes) noexcept {
  ProgressScope* scope = current;
  if (scope == nullptr || bytes == 0) return;
  scope->done_ += bytes;
  if (scope->done_ >= scope->next_report_ || scope->done_ >= scope->total_) {
    scope->next_report_ = scope->done_ + scope->step_;
    scope->Report();
  }
}

}  // namespace talvor

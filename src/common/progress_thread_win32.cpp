#include "common/progress_thread_win32.hpp"

#include "platform/win32_api.hpp"

namespace bk {

bool ProgressThread::Start() {
  state_ = progress::kIdle;
  try {
    thread_ = std::thread([this] { Loop(); });
  } catch (...) {
    return false;
  }
  while (state_.load() != progress::kReady) Sleep(10);
  state_ = progress::kIdle;
  return true;
}

void ProgressThread::Stop() {
  if (!thread_.joinable()) return;
  state_ = progress::kEnd;
  thread_.join();
}

void ProgressThread::Loop() {
  state_ = progress::kReady;
  for (;;) {
    int s = state_.load();
    if (s == progress::kEnd) return;
    // Compare-and-swap: the run may already have moved on (a copy ends before this
    // thread saw it start), and its newer state must never be overwritten.
    if (s == progress::kCopyStarting && state_.compare_exchange_strong(s, progress::kCopying)) {
      if (on_copy_starting) on_copy_starting();
    } else if (s == progress::kCopying) {
      if (on_copying) on_copying();
    } else if (s == progress::kCopyEnded && state_.compare_exchange_strong(s, progress::kCleared)) {
      if (on_copy_ended) on_copy_ended();
    }
    Sleep(10);
  }
}

}  // namespace bk

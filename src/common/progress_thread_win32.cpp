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

void ProgressThread::RequestStop() {
  if (thread_.joinable()) state_ = progress::kEnd;
}

void ProgressThread::Stop() {
  if (!thread_.joinable()) return;
  state_ = progress::kEnd;
  thread_.join();
}

void ProgressThread::SetDrawing(std::function<void()> copy_starting, std::function<void()> copying,
                                std::function<void()> copy_ended) {
  std::lock_guard<std::mutex> lock(drawing_mutex_);
  on_copy_starting_ = std::move(copy_starting);
  on_copying_ = std::move(copying);
  on_copy_ended_ = std::move(copy_ended);
}

void ProgressThread::Loop() {
  state_ = progress::kReady;
  for (;;) {
    int s = state_.load();
    if (s == progress::kEnd) return;
    {
      std::lock_guard<std::mutex> lock(drawing_mutex_);
      // Compare-and-swap: the run may already have moved on (a copy ends before this
      // thread saw it start), and its newer state must never be overwritten.
      if (s == progress::kCopyStarting && state_.compare_exchange_strong(s, progress::kCopying)) {
        if (on_copy_starting_) on_copy_starting_();
      } else if (s == progress::kCopying) {
        if (on_copying_) on_copying_();
      } else if (s == progress::kCopyEnded && state_.compare_exchange_strong(s, progress::kCleared)) {
        if (on_copy_ended_) on_copy_ended_();
      }
    }
    Sleep(10);
  }
}

}  // namespace bk

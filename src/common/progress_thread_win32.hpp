// The progress thread: started once, it answers the run's copy states and (with the
// backup window) draws the file name and bar while the user-interface thread copies.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace bk {

// Progress states shared with the run.
namespace progress {
inline constexpr int kReady = -1;
inline constexpr int kIdle = 0;
inline constexpr int kCopyStarting = 1;
inline constexpr int kCopying = 2;
inline constexpr int kCopyEnded = 3;
inline constexpr int kCleared = 4;
inline constexpr int kEnd = 5;
}  // namespace progress

class ProgressThread {
 public:
  ProgressThread() = default;
  ~ProgressThread() { Stop(); }
  ProgressThread(const ProgressThread&) = delete;
  ProgressThread& operator=(const ProgressThread&) = delete;

  // Starts the thread and waits (10 ms steps) until it reports ready; false when it
  // could not be started.
  bool Start();
  // Tells the thread to end (state 5); Stop then waits for it. Between the two the
  // program can go on with work that needs no progress drawing while the thread winds down.
  void RequestStop();
  // Tells the thread to end and waits for it.
  void Stop();

  std::atomic<int>& state() { return state_; }

  // What the thread draws in each state; set when a backup window opens and cleared (all
  // null) before it closes. The thread never runs a drawing while it is being replaced.
  void SetDrawing(std::function<void()> copy_starting, std::function<void()> copying,
                  std::function<void()> copy_ended);

 private:
  void Loop();
  std::atomic<int> state_{progress::kIdle};
  std::thread thread_;
  std::mutex drawing_mutex_;
  std::function<void()> on_copy_starting_;
  std::function<void()> on_copying_;
  std::function<void()> on_copy_ended_;
};

}  // namespace bk

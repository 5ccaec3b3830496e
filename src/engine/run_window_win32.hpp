// The window a backup run shows, in the backup program and in the power-off program: the
// abort hint, the progress text, the file name and bar drawn by the progress thread, and
// the hooks through which the engine reaches it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "common/message_port.hpp"
#include "common/progress_thread_win32.hpp"
#include "engine/run_context.hpp"
#include "platform/gdi_win32.hpp"

namespace bk {

// The name and size of the file being copied, handed from the run to the progress thread
// whole, so that the line never shows a mix of two names.
struct CopyInHand {
  std::mutex mutex;
  std::string name;
  std::uint32_t size_mib = 0;
  // The last file of more than 1 MiB, which the name line shows while small files follow,
  // and a count of such files: a copy shorter than the progress thread's tick is never
  // seen starting, yet its name must show.
  std::string big_name;
  std::uint64_t big_files = 0;
  std::atomic<std::uint32_t> copied_mib{0};
};

// True while Ctrl and Shift are both held.
bool AbortKeysDown();

// Draws "中断(Ctrl + Shift)" (the window's paint while a run is active).
void PaintAbortHint(HDC dc, HFONT font, int f);

// Yes the first time, then at most once per interval (milliseconds of the tick count).
class TickPacer {
 public:
  explicit TickPacer(ULONGLONG interval_ms) : interval_ms_(interval_ms) {}
  bool Due() {
    const ULONGLONG now = GetTickCount64();
    if (started_ && now - last_ < interval_ms_) return false;
    started_ = true;
    last_ = now;
    return true;
  }

 private:
  ULONGLONG interval_ms_;
  ULONGLONG last_ = 0;
  bool started_ = false;
};

// The run's hooks for a window: progress text at (30f, f), the title, one message per
// line, the abort keys, the copy in hand for the progress thread, and (when ui is given)
// the completion message.
class WindowRunHooks final : public RunHooks {
 public:
  WindowRunHooks(HWND window, HFONT font, int f, ProgressThread& progress, CopyInHand& copy, MessagePort* ui);
  void DrawProgressText(std::string_view text) override;
  void SetWindowTitle(std::string_view title) override;
  void PumpOneMessage() override;
  bool ProgressDue() override;
  bool AbortKeysHeld() override;
  bool AbortKeysHeldDuringCopy() override;
  void CopyStarting(std::string_view source, std::uint32_t size_mib) override;
  void CopyProgress(std::uint64_t bytes_done) override;
  void CopyEnded() override;
  void ShowCompletionMessage(std::string_view notice) override;

 private:
  HWND window_;
  HFONT font_;
  int f_;
  ProgressThread& progress_;
  CopyInHand& copy_;
  MessagePort* ui_;
  TickPacer progress_pace_{30};  // progress counts drawn
  TickPacer key_pace_{10};       // looks at the abort keys
  bool keys_held_ = false;       // what the last look saw
};

// Gives the progress thread the drawing of the file name and bar on window (line length
// n characters) for the time this object lives; the thread sets flags.abort when it sees
// Ctrl + Shift during a copy.
class ProgressLineOnWindow {
 public:
  ProgressLineOnWindow(ProgressThread& progress, HWND window, HFONT font, int f, int n, CopyInHand& copy,
                       RunFlags& flags);
  ~ProgressLineOnWindow();
  ProgressLineOnWindow(const ProgressLineOnWindow&) = delete;
  ProgressLineOnWindow& operator=(const ProgressLineOnWindow&) = delete;

 private:
  ProgressThread& progress_;
};

// Handles at most one waiting message of the thread; never blocks.
void PumpOneWaitingMessage();

}  // namespace bk

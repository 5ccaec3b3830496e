#include "engine/run_window_win32.hpp"

#include "common/progress_line.hpp"

namespace bk {

namespace {

constexpr COLORREF kLineBackground = RGB(230, 230, 255);
constexpr COLORREF kBarColour = RGB(0, 255, 0);

// The progress line's drawing resources: three device contexts of the window, one with
// the font, one with the clearing pen, one with the bar pen.
class ProgressLineDrawing {
 public:
  ProgressLineDrawing(HWND window, HFONT font, int f, int n)
      : f_(f), n_(n),
        clear_pen_(CreatePen(PS_SOLID, ClearingPenWidth(f), kLineBackground)),
        bar_pen_(CreatePen(PS_SOLID, BarPenWidth(f), kBarColour)),
        clear_brush_(CreateSolidBrush(kLineBackground)),
        bar_brush_(CreateSolidBrush(kBarColour)),
        text_dc_(window), clear_dc_(window), bar_dc_(window),
        text_font_(text_dc_.get(), font),
        clearing_pen_(clear_dc_.get(), clear_pen_.get()),
        clearing_brush_(clear_dc_.get(), clear_brush_.get()),
        bar_pen_in_use_(bar_dc_.get(), bar_pen_.get()),
        bar_brush_in_use_(bar_dc_.get(), bar_brush_.get()) {
    SetBkMode(text_dc_.get(), OPAQUE);
    SetBkColor(text_dc_.get(), kLineBackground);
    SetTextColor(text_dc_.get(), RGB(0, 0, 0));
  }
  ProgressLineDrawing(const ProgressLineDrawing&) = delete;
  ProgressLineDrawing& operator=(const ProgressLineDrawing&) = delete;

  void Name(std::string_view name) { DrawSjisText(text_dc_.get(), 2 * f_, 4 * f_, NameLineText(name, n_)); }
  void ClearBar() {
    Rectangle(clear_dc_.get(), 2 * f_, 7 * f_, (n_ + 2) * f_, 7 * f_ + ClearingPenWidth(f_));
  }
  void Bar(std::uint32_t copied_mib, std::uint32_t size_mib) {
    Rectangle(bar_dc_.get(), 2 * f_, 7 * f_, BarRight(f_, n_, copied_mib, size_mib), 7 * f_ + BarPenWidth(f_));
  }

 private:
  int f_, n_;
  // In this order: the objects outlive the device contexts, which outlive the selections.
  Pen clear_pen_, bar_pen_;
  Brush clear_brush_, bar_brush_;
  WindowDc text_dc_, clear_dc_, bar_dc_;
  SelectedObject text_font_, clearing_pen_, clearing_brush_, bar_pen_in_use_, bar_brush_in_use_;
};

}  // namespace

bool AbortKeysDown() {
  return (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0 && (GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0;
}

void PaintAbortHint(HDC dc, HFONT font, int f) {
  SelectedObject keep(dc, font);
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, kBackground);
  SetTextColor(dc, RGB(0, 0, 0));
  DrawSjisText(dc, 2 * f, f, "中断(Ctrl + Shift)");
}

void PumpOneWaitingMessage() {
  MSG msg;
  if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

WindowRunHooks::WindowRunHooks(HWND window, HFONT font, int f, ProgressThread& progress, CopyInHand& copy,
                               MessagePort* ui)
    : window_(window), font_(font), f_(f), progress_(progress), copy_(copy), ui_(ui) {}

void WindowRunHooks::DrawProgressText(std::string_view text) {
  const WindowDc dc(window_);
  SelectedObject keep(dc.get(), font_);
  SetBkMode(dc.get(), OPAQUE);
  SetBkColor(dc.get(), kBackground);
  SetTextColor(dc.get(), RGB(0, 0, 0));
  DrawSjisText(dc.get(), 30 * f_, f_, text);
}

void WindowRunHooks::SetWindowTitle(std::string_view title) {
  std::wstring w;
  ToWide(title, &w);
  SetWindowTextW(window_, w.c_str());
}

void WindowRunHooks::PumpOneMessage() { PumpOneWaitingMessage(); }

// About thirty counts a second: more than an eye reads, and the window still answers at once.
bool WindowRunHooks::ProgressDue() { return progress_pace_.Due(); }

void WindowRunHooks::CopyStarting(std::string_view source, std::uint32_t size_mib) {
  {
    std::lock_guard<std::mutex> lock(copy_.mutex);
    copy_.name.assign(source);
    copy_.size_mib = size_mib;
    if (size_mib > 1) {
      copy_.big_name.assign(source);
      ++copy_.big_files;
    }
  }
  progress_.state() = progress::kCopyStarting;
}

void WindowRunHooks::CopyProgress(std::uint64_t bytes_done) {
  copy_.copied_mib = static_cast<std::uint32_t>(bytes_done / 1048576);
}

// Keys held by a hand stay down far longer than a tick: one look at them serves every file
// of the next few milliseconds (under Wine each look also reads the display's events,
// which costs more than copying a small file).
bool WindowRunHooks::AbortKeysHeld() {
  if (key_pace_.Due()) keys_held_ = AbortKeysDown();
  return keys_held_;
}

bool WindowRunHooks::AbortKeysHeldDuringCopy() {
  if (!key_pace_.Due()) return keys_held_;
  // Looking at the queue without taking anything lets the system bring the key state up
  // to date for this thread (under Wine only the window's own thread receives the keys).
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_INPUT);
  keys_held_ = AbortKeysDown();
  return keys_held_;
}

void WindowRunHooks::CopyEnded() { progress_.state() = progress::kCopyEnded; }

void WindowRunHooks::ShowCompletionMessage(std::string_view notice) {
  if (ui_) ui_->ShowMessage(notice, DialogMode::Ok);
}

ProgressLineOnWindow::ProgressLineOnWindow(ProgressThread& progress, HWND window, HFONT font, int f, int n,
                                           CopyInHand& copy, RunFlags& flags)
    : progress_(progress) {
  auto drawing = std::make_shared<ProgressLineDrawing>(window, font, f, n);
  drawing->Name(" ");
  auto size_in_hand = std::make_shared<std::uint32_t>(0);
  auto big_shown = std::make_shared<std::uint64_t>(0);
  // Small files leave the last big name; one whose copy came and went between two ticks is
  // shown all the same.
  auto show_big_name = [drawing, big_shown, &copy] {
    std::string name;
    {
      std::lock_guard<std::mutex> lock(copy.mutex);
      if (copy.big_files == *big_shown) return;
      *big_shown = copy.big_files;
      name = copy.big_name;
    }
    drawing->Name(name);
  };
  progress.SetDrawing(
      [drawing, size_in_hand, &copy, show_big_name] {
        {
          std::lock_guard<std::mutex> lock(copy.mutex);
          *size_in_hand = copy.size_mib;
        }
        show_big_name();
        drawing->ClearBar();
        copy.copied_mib = 0;
      },
      [drawing, size_in_hand, &copy, &flags] {
        drawing->Bar(copy.copied_mib.load(), *size_in_hand);
        if (AbortKeysDown()) flags.abort = 1;
      },
      [drawing, show_big_name] {
        show_big_name();
        drawing->ClearBar();
      });
}

// Dropping the drawings releases the device contexts and pens once the thread is done
// with them.
ProgressLineOnWindow::~ProgressLineOnWindow() { progress_.SetDrawing(nullptr, nullptr, nullptr); }

}  // namespace bk

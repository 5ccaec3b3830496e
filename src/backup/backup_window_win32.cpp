// The backup window: opened for "バックアップの実行" (command 1) or "登録全てのバックアップ"
// (command 2); the engine runs inside its pump and the window closes when the run ends.
#include "backup/shell_win32.hpp"
#include <atomic>
#include <memory>
#include <mutex>

#include "common/progress_line.hpp"
#include "common/progress_thread_win32.hpp"
#include "engine/backup_run.hpp"

namespace bk {

namespace {

constexpr COLORREF kLineBackground = RGB(230, 230, 255);
constexpr COLORREF kBarColour = RGB(0, 255, 0);

// The name and size of the file being copied, handed from the run to the progress thread
// whole, so that the line never shows a mix of two names.
struct CopyInHand {
  std::mutex mutex;
  std::string name;
  std::uint32_t size_mib = 0;
  std::atomic<std::uint32_t> copied_mib{0};
};

// The progress line's drawing resources: three device contexts of the window, one with
// the font, one with the clearing pen, one with the bar pen.
class ProgressLineDrawing {
 public:
  ProgressLineDrawing(HWND window, HFONT font, int f, int n)
      : window_(window), f_(f), n_(n),
        clear_pen_(CreatePen(PS_SOLID, ClearingPenWidth(f), kLineBackground)),
        bar_pen_(CreatePen(PS_SOLID, BarPenWidth(f), kBarColour)),
        clear_brush_(CreateSolidBrush(kLineBackground)),
        bar_brush_(CreateSolidBrush(kBarColour)) {
    text_dc_ = GetDC(window);
    clear_dc_ = GetDC(window);
    bar_dc_ = GetDC(window);
    SelectObject(text_dc_, font);
    SetBkMode(text_dc_, OPAQUE);
    SetBkColor(text_dc_, kLineBackground);
    SetTextColor(text_dc_, RGB(0, 0, 0));
    SelectObject(clear_dc_, clear_pen_.get());
    SelectObject(clear_dc_, clear_brush_.get());
    SelectObject(bar_dc_, bar_pen_.get());
    SelectObject(bar_dc_, bar_brush_.get());
  }
  ~ProgressLineDrawing() {
    for (HDC dc : {text_dc_, clear_dc_, bar_dc_}) ReleaseDC(window_, dc);
  }
  ProgressLineDrawing(const ProgressLineDrawing&) = delete;
  ProgressLineDrawing& operator=(const ProgressLineDrawing&) = delete;

  void Name(std::string_view name) { DrawSjisText(text_dc_, 2 * f_, 4 * f_, NameLineText(name, n_)); }
  void ClearBar() {
    Rectangle(clear_dc_, 2 * f_, 7 * f_, (n_ + 2) * f_, 7 * f_ + ClearingPenWidth(f_));
  }
  void Bar(std::uint32_t copied_mib, std::uint32_t size_mib) {
    Rectangle(bar_dc_, 2 * f_, 7 * f_, BarRight(f_, n_, copied_mib, size_mib), 7 * f_ + BarPenWidth(f_));
  }

 private:
  HWND window_;
  int f_, n_;
  Pen clear_pen_, bar_pen_;
  Brush clear_brush_, bar_brush_;
  HDC text_dc_ = nullptr, clear_dc_ = nullptr, bar_dc_ = nullptr;
};

bool AbortKeysDown() {
  return (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0 && (GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0;
}

// The window side of a run: progress text, title, one message per line, the abort keys,
// and the copy in hand for the progress thread.
class WindowHooks final : public RunHooks {
 public:
  WindowHooks(Shell& shell, HWND window, CopyInHand& copy) : shell_(shell), window_(window), copy_(copy) {}

  void DrawProgressText(std::string_view text) override {
    HDC dc = GetDC(window_);
    {
      SelectGuard font(dc, shell_.font.get());
      SetBkMode(dc, OPAQUE);
      SetBkColor(dc, kBackground);
      SetTextColor(dc, RGB(0, 0, 0));
      DrawSjisText(dc, 30 * shell_.state.f(), shell_.state.f(), text);
    }
    ReleaseDC(window_, dc);
  }
  void SetWindowTitle(std::string_view title) override {
    std::wstring w;
    ToWide(title, &w);
    SetWindowTextW(window_, w.c_str());
  }
  void PumpOneMessage() override { bk::PumpOneMessage(); }
  bool AbortKeysHeld() override { return AbortKeysDown(); }
  void CopyStarting(std::string_view source, std::uint32_t size_mib) override {
    {
      std::lock_guard<std::mutex> lock(copy_.mutex);
      copy_.name.assign(source);
      copy_.size_mib = size_mib;
    }
    shell_.progress.state() = progress::kCopyStarting;
  }
  void CopyProgress(std::uint64_t bytes_done) override {
    copy_.copied_mib = static_cast<std::uint32_t>(bytes_done / 1048576);
  }
  void CopyEnded() override { shell_.progress.state() = progress::kCopyEnded; }
  void ShowCompletionMessage(std::string_view notice) override { shell_.ui.ShowMessage(notice, DialogMode::Ok); }

 private:
  Shell& shell_;
  HWND window_;
  CopyInHand& copy_;
};

std::string TitleFor(const Shell& shell, const CurrentDestination& d) {
  SyncTarget t{d.drive, d.folder};
  return WindowTitle(t, shell.state.labels[static_cast<std::size_t>(
                            std::clamp(std::toupper(static_cast<unsigned char>(d.drive)) - 'A', 0, 25))]);
}

}  // namespace

void PaintBackup(Shell& shell, HDC dc) {
  SelectGuard font(dc, shell.font.get());
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, kBackground);
  SetTextColor(dc, RGB(0, 0, 0));
  DrawSjisText(dc, 2 * shell.state.f(), shell.state.f(), "中断(Ctrl + Shift)");
}

void RunBackupWindow(Shell& shell, int command) {
  ProgramState& s = shell.state;
  if (s.tables.destinations.empty()) return;
  const CurrentDestination starting = s.tables.current;
  std::vector<SyncTarget> destinations;
  if (command == 2) {
    destinations = Command2Destinations(s.tables);
    SyncTarget first = destinations.empty() ? SyncTarget{} : destinations.front();
    s.tables.current = {first.drive, first.folder};
  } else {
    // The saved file decides: the choice reached it when the settings window closed.
    const DestinationTables saved = LoadToDrive(shell.fs);
    if (!saved.current.chosen()) return;
    s.tables.current = saved.current;
    DestinationTables for_run = s.tables;
    destinations = Command1Destinations(for_run);
  }
  if (destinations.empty()) {
    s.tables.current = starting;
    return;
  }

  const int f = s.f();
  const BackupPlacement place = BackupWindowPlacement(f, s.settings.backup_x, s.settings.backup_y, s.screen);
  std::wstring title;
  ToWide(TitleFor(shell, s.tables.current), &title);
  HWND window = CreateWindowExW(0, L"\u3000", title.c_str(), WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                place.rect.left, place.rect.top, place.rect.width, place.rect.height, nullptr,
                                nullptr, shell.instance, nullptr);
  if (!window) {
    s.tables.current = starting;
    return;
  }
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  s.window_active = true;

  CopyInHand copy;
  RunFlags flags;
  WindowHooks hooks(shell, window, copy);
  ErrorReport report(shell.fs, shell.clock);
  {
    auto drawing = std::make_shared<ProgressLineDrawing>(window, shell.font.get(), f, place.line_length);
    drawing->Name(" ");
    auto size_in_hand = std::make_shared<std::uint32_t>(0);
    shell.progress.SetDrawing(
        [drawing, size_in_hand, &copy] {
          std::string name;
          {
            std::lock_guard<std::mutex> lock(copy.mutex);
            name = copy.name;
            *size_in_hand = copy.size_mib;
          }
          if (*size_in_hand > 1) drawing->Name(name);  // small files leave the last big name
          drawing->ClearBar();
          copy.copied_mib = 0;
        },
        [drawing, size_in_hand, &copy, &flags] {
          drawing->Bar(copy.copied_mib.load(), *size_in_hand);
          if (AbortKeysDown()) flags.abort = 1;
        },
        [drawing] { drawing->ClearBar(); });
  }
  RunSettings settings;
  settings.free_space_check = s.free_space_check;
  settings.mail_option = s.tables.mail_option;
  settings.volume_labels = s.labels;
  RunContext ctx{shell.fs, report, hooks, flags, settings};
  report.Begin();
  RunBackup(ctx, destinations);
  shell.progress.SetDrawing(nullptr, nullptr, nullptr);  // releases the drawing resources

  DestroyWindow(window);
  shell.font.reset();
  shell.main = nullptr;
  EndRunReport(ctx);
  s.tables.current = starting;
}

}  // namespace bk

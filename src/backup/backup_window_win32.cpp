// The backup window: opened for "バックアップの実行" (command 1) or "登録全てのバックアップ"
// (command 2); the engine runs inside its pump and the window closes when the run ends.
#include "backup/shell_win32.hpp"
#include "common/progress_thread_win32.hpp"
#include "engine/backup_run.hpp"

namespace bk {

namespace {

// The window side of a run: progress text, title, one message per line, the abort keys,
// and the progress thread's copy states.
class WindowHooks final : public RunHooks {
 public:
  WindowHooks(Shell& shell, HWND window) : shell_(shell), window_(window) {}

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
  bool AbortKeysHeld() override {
    return (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0 && (GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0;
  }
  void CopyStarting(std::string_view, std::uint32_t) override { shell_.progress.state() = progress::kCopyStarting; }
  void CopyEnded() override { shell_.progress.state() = progress::kCopyEnded; }
  void ShowCompletionMessage(std::string_view notice) override { shell_.ui.ShowMessage(notice, DialogMode::Ok); }

 private:
  Shell& shell_;
  HWND window_;
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

  WindowHooks hooks(shell, window);
  ErrorReport report(shell.fs, shell.clock);
  RunFlags flags;
  RunSettings settings;
  settings.free_space_check = s.free_space_check;
  settings.mail_option = s.tables.mail_option;
  settings.volume_labels = s.labels;
  RunContext ctx{shell.fs, report, hooks, flags, settings};
  report.Begin();
  RunBackup(ctx, destinations);

  DestroyWindow(window);
  shell.font.reset();
  shell.main = nullptr;
  EndRunReport(ctx);
  s.tables.current = starting;
}

}  // namespace bk

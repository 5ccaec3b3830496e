// The backup window: opened for "バックアップの実行" (command 1) or "登録全てのバックアップ"
// (command 2); the engine runs inside its pump and the window closes when the run ends.
#include "backup/shell_win32.hpp"
#include "common/text_file.hpp"
#include "engine/backup_run.hpp"
#include "engine/run_window_layout.hpp"
#include "engine/run_window_win32.hpp"

namespace bk {

namespace {

std::string TitleFor(const Shell& shell, const CurrentDestination& d) {
  SyncTarget t{d.drive, d.folder};
  // A letter that names no drive has no label (the engine's LabelOf agrees).
  return WindowTitle(t, LabelOf(shell.state.labels, DriveLetter(d.drive)));
}

}  // namespace

void PaintBackup(Shell& shell, HDC dc) { PaintAbortHint(dc, shell.font.get(), shell.state.f()); }

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
    DestinationTables saved;
    if (const Status read = LoadToDrive(shell.fs, &saved); !read) {
      shell.ui.ShowMessage(FailureMessage(shell.fs, read, kToDrivePath), DialogMode::Ok);
      return;
    }
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
  WindowRunHooks hooks(window, shell.font.get(), f, shell.progress, copy, &shell.ui);
  ErrorReport report(shell.fs, shell.clock);
  auto line = std::make_unique<ProgressLineOnWindow>(shell.progress, window, shell.font.get(), f,
                                                     place.line_length, copy, flags);
  RunSettings settings;
  settings.free_space_check = s.free_space_check;
  settings.mail_option = s.tables.mail_option;
  settings.volume_labels = s.labels;
  settings.destination_folders = s.tables.destinations.entries();
  RunContext ctx{shell.fs, report, hooks, flags, settings};
  report.Begin();
  RunBackup(ctx, destinations);
  line.reset();  // the drawing resources go before the window

  DestroyWindow(window);
  shell.font.reset();
  shell.main = nullptr;
  EndRunReport(ctx);
  s.tables.current = starting;
}

}  // namespace bk

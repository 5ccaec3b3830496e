// The power-off program: backs up the destinations chosen for it, then shuts the computer
// down after a ten-second countdown that a left click cancels.
#include "common/destination_table.hpp"
#include "common/error_report.hpp"
#include "common/message_dialog_win32.hpp"
#include "common/program_window_win32.hpp"
#include "common/window_settings.hpp"
#include "engine/backup_run.hpp"
#include "engine/run_window_layout.hpp"
#include "engine/run_window_win32.hpp"
#include "platform/program_folder.hpp"
#include "platform/win32_file_system.hpp"
#include "platform/win32_handles.hpp"

namespace bk {
namespace {

inline constexpr std::string_view kEarlierReportQuestion =
    "前回のバックアップでエラーが発生しました\nエラー報告のファイルを確認してください。\n\n"
    "エラー処理が済んだらファイルを削除してください。\n\nこのバックアップ処理を中断しますか？";
inline constexpr std::string_view kCountdownNotice = "マウスの左ボタンでシャットダウンを中止します";

// What the window procedure shares with the program.
struct PowerOffState {
  WindowSettings settings;
  ScreenFacts screen;
  Font font;
  bool run_active = false;
  bool placed = false;  // the backup window's client origin below is known
  int client_x = 0, client_y = 0;
  bool countdown_active = false;
  bool cancel = false;  // a left click (or a close request) during the countdown
};

PowerOffState& State() {
  static PowerOffState state;
  return state;
}

LRESULT CALLBACK PowerOffWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  PowerOffState& s = State();
  switch (message) {
    case WM_CREATE:
      if (!s.font) s.font = MakeProgramFont(s.settings.char_size);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_MOVE:
      if (s.run_active) {
        // The window's first place is where it was opened, and the system may tell it again
        // without a move: only a change of place is the user's move, so a run in which
        // nobody moves the window leaves the stored place as it was.
        // Minimising parks the window and restoring brings it back: neither is a move.
        const int x = static_cast<short>(LOWORD(lparam)), y = static_cast<short>(HIWORD(lparam));
        if (IsIconic(window) || AtMinimisedPlace(x, y)) return 0;
        const bool moved = s.placed && (x != s.client_x || y != s.client_y);
        s.placed = true;
        s.client_x = x;
        s.client_y = y;
        const FrameMetrics frame{s.screen.frame_width, s.screen.frame_height, s.screen.caption_height};
        if (moved) (void)RecordMove(&s.settings, RememberedWindow::Backup, x, y, false, frame);
      }
      return 0;
    case WM_ERASEBKGND:
      // The countdown's paint fills the whole screen blue: erasing it first to the class's
      // background would only flash that colour and draw the screen twice.
      if (s.countdown_active) return 1;
      return DefWindowProcW(window, message, wparam, lparam);
    case WM_PAINT: {
      const PaintScope paint(window);
      if (s.run_active) PaintAbortHint(paint.dc(), s.font.get(), s.settings.char_size);
      if (s.countdown_active) {
        const Brush blue(CreateSolidBrush(RGB(0, 0, 255)));
        FillRect(paint.dc(), &paint.area(), blue.get());  // the countdown's numbers are drawn over it
      }
      return 0;
    }
    case WM_CLOSE:
      // During the run a close request changes nothing; during the countdown it cancels
      // the shutdown, so the countdown can never run without end.
      if (s.countdown_active) s.cancel = true;
      return 0;
    case WM_LBUTTONDOWN:
      s.cancel = true;
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

// The run over the power-off destinations in its backup window.
void RunPowerOffBackup(HINSTANCE instance, FileSystem& fs, Clock& clock, ProgressThread& progress,
                       const DestinationTables& tables, bool free_space_check, const EarlierReport& earlier) {
  PowerOffState& s = State();
  const int f = s.settings.char_size;
  const std::vector<SyncTarget> destinations = PowerOffDestinations(tables);
  RunSettings settings;
  settings.free_space_check = free_space_check;
  settings.mail_option = tables.mail_option;
  settings.volume_labels = DestinationLabels(fs, destinations);
  settings.destination_folders = tables.destinations.entries();

  const BackupPlacement place = BackupWindowPlacement(f, s.settings.backup_x, s.settings.backup_y, s.screen);
  std::wstring title;
  if (!destinations.empty()) ToWide(WindowTitle(destinations.front(), settings.LabelOf(destinations.front().drive)), &title);
  s.run_active = true;
  HWND window = CreateWindowExW(0, L"\u3000", title.c_str(), WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                place.rect.left, place.rect.top, place.rect.width, place.rect.height, nullptr,
                                nullptr, instance, nullptr);
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);

  CopyInHand copy;
  RunFlags flags;
  WindowRunHooks hooks(window, s.font.get(), f, progress, copy, nullptr);  // no completion message
  ErrorReport report(fs, clock);
  auto line = std::make_unique<ProgressLineOnWindow>(progress, window, s.font.get(), f, place.line_length, copy, flags);
  // Begun before the first destination, so the line of an absent first drive is kept.
  BeginPowerOffReport(report, earlier);
  RunContext ctx{fs, report, hooks, flags, settings};
  RunBackup(ctx, destinations);
  line.reset();
  DestroyWindow(window);
  s.run_active = false;
  // The thread winds down while the report and the settings are written.
  progress.RequestStop();
  (void)FinishPowerOffReport(fs, report, earlier);
  (void)SaveWindowSettings(fs, s.settings);
  progress.Stop();
}

// ToDrive.txt is there but cannot be read: its power-off list is unknown, so nothing is
// backed up and the computer stays on; the report line waits for the next start.
void ReportUnreadableDestinations(FileSystem& fs, Clock& clock, Status loaded, const EarlierReport& earlier) {
  ErrorReport report(fs, clock);
  BeginPowerOffReport(report, earlier);
  report.AddSystem(fs.ErrorMessage(loaded.code), kToDrivePath);
  (void)FinishPowerOffReport(fs, report, earlier);
}

// True when the countdown ran out (no click, no close request).
bool Countdown(HINSTANCE instance) {
  PowerOffState& s = State();
  const int f = s.settings.char_size;
  const int width = s.screen.work_right - s.screen.work_left;
  const int height = s.screen.work_bottom - s.screen.work_top;
  s.cancel = false;
  s.countdown_active = true;
  int counter = 99;
  HWND window = CreateWindowExW(0, L"\u3000", L"", WS_POPUP, 0, 0, 2 * width, 2 * height, nullptr, nullptr,
                                instance, nullptr);
  ShowWindow(window, SW_SHOWMAXIMIZED);
  UpdateWindow(window);
  {
    // UpdateWindow has filled the screen blue (WM_PAINT); the loop draws over it.
    const WindowDc window_dc(window);
    const HDC dc = window_dc.get();
    const Font digits(CreateFontW(4 * f, 4 * f, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN,
                                  L"MS \u30B4\u30B7\u30C3\u30AF"));
    SetBkMode(dc, OPAQUE);
    while (counter != 0) {
      PumpOneWaitingMessage();
      if (s.cancel) break;
      {
        SelectedObject keep(dc, digits.get());
        SetBkColor(dc, RGB(255, 0, 0));
        SetTextColor(dc, RGB(0, 0, 0));
        DrawSjisText(dc, width / 2 - 21 * f, height / 2, std::to_string(counter / 10));
      }
      {
        SelectedObject keep(dc, s.font.get());
        SetBkColor(dc, RGB(0, 0, 255));
        SetTextColor(dc, RGB(255, 255, 255));
        DrawSjisText(dc, width / 2 - 22 * f, height / 2 + 5 * f, kCountdownNotice);
      }
      --counter;
      Sleep(100);
    }
  }
  DestroyWindow(window);
  s.countdown_active = false;
  return counter == 0;
}

// The run and then the countdown, with the timer at 1 ms for both; true when the countdown
// ran out.
bool RunAndCountDown(HINSTANCE instance, FileSystem& fs, Clock& clock, const DestinationTables& tables,
                     bool free_space_check, const EarlierReport& earlier) {
  const TimerPeriod fine_timer(1);
  ProgressThread progress;
  if (!progress.Start()) return false;
  RunPowerOffBackup(instance, fs, clock, progress, tables, free_space_check, earlier);
  return Countdown(instance);
}

void ShutDown() {
  HANDLE opened = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &opened)) {
    const KernelHandle token(opened);
    TOKEN_PRIVILEGES privileges{};
    LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid);
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
  }
  InitiateSystemShutdownExW(nullptr, nullptr, 0, TRUE, FALSE, 0x00010000);
}

int RunPowerOff(HINSTANCE instance) {
  if (!EnterProgramFolder()) return 0;
  if (!RegisterProgramWindowClass(instance, PowerOffWindowProc, 100)) return 0;
  Win32FileSystem fs;
  Win32Clock clock;
  PowerOffState& s = State();
  const bool free_space_check = ProbeFreeSpace(fs);
  s.screen = ReadScreenFacts();
  s.settings = LoadWindowSettings(fs);
  DestinationTables tables;
  const Status loaded = LoadToDrive(fs, &tables);

  FileInfo earlier;
  if (fs.GetInfo(kErrorReportPath, &earlier)) {
    Win32MessageDialog dialog(&s.settings.char_size);
    if (dialog.ShowMessage(kEarlierReportQuestion, DialogMode::YesNo) == kAnswerFirst) return 0;
  }
  EarlierReport earlier_report;
  (void)KeepEarlierReport(fs, &earlier_report);  // where it is, whatever failed, is in earlier_report
  if (!loaded) {
    ReportUnreadableDestinations(fs, clock, loaded, earlier_report);
    return 0;
  }

  if (RunAndCountDown(instance, fs, clock, tables, free_space_check, earlier_report)) ShutDown();
  return 0;
}

}  // namespace
}  // namespace bk

int main() { return bk::RunPowerOff(GetModuleHandleW(nullptr)); }

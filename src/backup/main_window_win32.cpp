#include "backup/drop_registration.hpp"
#include "backup/shell_win32.hpp"
#include "common/message_dialog_win32.hpp"
#include "common/program_window_win32.hpp"
#include "engine/run_window_win32.hpp"

#include <shellapi.h>
#include <windowsx.h>

namespace bk {

Shell*& CurrentShell() {
  static Shell* shell = nullptr;
  return shell;
}

bool RegisterMainWindowClass(HINSTANCE instance) {
  return RegisterProgramWindowClass(instance, MainWindowProc, 101);
}

void PumpOneMessage() { PumpOneWaitingMessage(); }

POINT PointerInClient(HWND window) {
  POINT p{};
  GetCursorPos(&p);
  ScreenToClient(window, &p);
  return p;
}

std::string WindowTextOf(HWND window) {
  const int n = GetWindowTextLengthW(window);
  std::wstring w(static_cast<std::size_t>(n) + 1, L'\0');
  GetWindowTextW(window, w.data(), n + 1);
  w.resize(static_cast<std::size_t>(n));
  std::string out;
  FromWide(w, &out);
  return out;
}

std::string ComboSelection(HWND combo) {
  const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  if (index == CB_ERR) return {};
  const LRESULT n = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (n == CB_ERR) return {};
  std::wstring w(static_cast<std::size_t>(n) + 1, L'\0');
  SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(w.data()));
  w.resize(static_cast<std::size_t>(n));
  std::string out;
  FromWide(w, &out);
  return out;
}

namespace {

// The remembered position of the window of the current mode; a minimised window's move
// to its parking place is not one.
void RecordMove(Shell& shell, HWND window, int client_x, int client_y) {
  ProgramState& s = shell.state;
  RememberedWindow which;
  switch (s.mode) {
    case WindowMode::Registration: which = RememberedWindow::Registration; break;
    case WindowMode::Backup: which = RememberedWindow::Backup; break;
    case WindowMode::Settings: which = RememberedWindow::Settings; break;
    default: return;
  }
  const FrameMetrics frame{s.screen.frame_width, s.screen.frame_height, s.screen.caption_height};
  (void)bk::RecordMove(&s.settings, which, client_x, client_y, IsIconic(window) != FALSE, frame);
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  Shell* shell = CurrentShell();
  if (!shell) return DefWindowProcW(window, message, wparam, lparam);
  switch (message) {
    case WM_CREATE:
      shell->main = window;
      shell->font = MakeProgramFont(shell->state.f());
      if (shell->state.mode == WindowMode::Settings) CreateSettingsControls(*shell, window);
      if (shell->state.mode == WindowMode::Registration) CreateRegistrationControls(*shell, window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_MOVE:
      RecordMove(*shell, window, static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam)));
      return 0;
    case WM_PAINT: {
      const PaintScope paint(window);
      if (shell->state.mode == WindowMode::Settings) PaintSettings(*shell, paint.dc());
      if (shell->state.mode == WindowMode::Backup) PaintBackup(*shell, paint.dc());
      if (shell->state.mode == WindowMode::Registration) PaintRegistration(*shell, paint.dc());
      return 0;
    }
    case WM_SIZE:
      if (shell->state.mode == WindowMode::Registration && shell->main)
        RegistrationSize(*shell, LOWORD(lparam), HIWORD(lparam), wparam == SIZE_MINIMIZED);
      return 0;
    case WM_NOTIFY:
      if (shell->state.mode == WindowMode::Registration)
        return RegistrationNotify(*shell, reinterpret_cast<NMHDR*>(lparam));
      return 0;
    case WM_COMMAND:
      if (shell->state.mode == WindowMode::Settings) SettingsCommand(*shell, LOWORD(wparam), HIWORD(wparam));
      if (shell->state.mode == WindowMode::Registration) RegistrationCommand(*shell, LOWORD(wparam));
      return 0;
    case WM_LBUTTONDOWN: {
      ProgramState& s = shell->state;
      s.click_pending = true;
      if (s.mode == WindowMode::Registration) {
        const int x = static_cast<short>(LOWORD(lparam)), y = static_cast<short>(HIWORD(lparam));
        const int f = s.f();
        if (s.delete_hover) {
          s.delete_request = true;
        } else if (PressStopsScan(x, y, f, s.registration_phase)) {
          s.window_active = false;  // " 登録中断 ": the scan stops
        }
      }
      return 0;
    }
    case WM_DROPFILES:
      if (shell->state.mode == WindowMode::Registration &&
          TakesDrop(shell->state.dialog_open || MessageDialogOpen(),
                    shell->state.registration_phase)) {
        RegistrationDrop(*shell, reinterpret_cast<HDROP>(wparam));
      } else {
        DragFinish(reinterpret_cast<HDROP>(wparam));
      }
      return 0;
    case WM_CLOSE:
      // The pump destroys the window once it sees the flag.
      shell->state.window_active = false;
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

}  // namespace bk

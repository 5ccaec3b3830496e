// The Win32 side of the backup program: its one main window (in three modes), served by
// polling pumps. The window procedure only turns input into the flags and requests of
// the program state; the pumps and the dispatcher act on them.
#pragma once

#include <map>

#include "backup/program_state.hpp"
#include "common/message_port.hpp"
#include "platform/file_system.hpp"
#include "platform/gdi_win32.hpp"

#include <shellapi.h>

namespace bk {

class ProgressThread;

struct Shell {
  ProgramState& state;
  FileSystem& fs;
  Clock& clock;
  MessagePort& ui;
  ProgressThread& progress;
  HINSTANCE instance = nullptr;
  HWND main = nullptr;
  Font font{};
  std::map<int, HWND> controls{};  // by control id
  bool in_drive_area = false;      // the pointer was over the drive box at the last pass
};

// The one shell of the process (the window procedure reaches it through this).
Shell*& CurrentShell();

// Registers the main window class "　"; false when the system refuses it.
bool RegisterMainWindowClass(HINSTANCE instance);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Handles at most one waiting message of the thread; never blocks.
void PumpOneMessage();

// Where the pointer is, in the client coordinates of window.
POINT PointerInClient(HWND window);

// The mode windows. Each returns when its window has closed.
void RunSettingsWindow(Shell& shell);
void RunBackupWindow(Shell& shell, int command);

// Settings-window parts used by the window procedure.
void CreateSettingsControls(Shell& shell, HWND window);
void PaintSettings(Shell& shell, HDC dc);
void SettingsCommand(Shell& shell, int id, int notification);
void PaintBackup(Shell& shell, HDC dc);

// Registration-window parts used by the window procedure and the pump.
void RunRegistrationWindow(Shell& shell);
void CreateRegistrationControls(Shell& shell, HWND window);
void PaintRegistration(Shell& shell, HDC dc);
void RegistrationSize(Shell& shell, int width, int height, bool minimised);
LRESULT RegistrationNotify(Shell& shell, NMHDR* header);
void RegistrationCommand(Shell& shell, int id);
void SelectAndClickLine(Shell& shell, std::size_t row);
void ShowListOf(Shell& shell);
void RegistrationDrop(Shell& shell, HDROP dropped);

// Shift-JIS text of a window or combo box item.
std::string WindowTextOf(HWND window);
std::string ComboSelection(HWND combo);

}  // namespace bk

// A small Windows program for the end-to-end scripts: it shows the programs' own message
// dialog where no program path reaches a case, and reports the system metrics the window
// placement is computed from. Built with the windows preset into build/windows/tests/.
//
//   e2e_probe.exe dialog FOLDER
//     Before each step it waits for FOLDER\go-<step>; it appends "<step> ..." lines to
//     FOLDER\answers.txt:
//       ok-close   a "了解" notice that the script closes with its "×" mark:
//                  "ok-close <answer> <slot>"
//       second     a "了解" notice; while it is open a timer asks a yes/no question, which
//                  must answer at once without a window: "second-asked <answer> <dialogs>"
//                  is written from inside the open notice, "ok-button <answer>" when the
//                  script has pressed "了解"
//       transient  a notice without buttons: "transient <answer>" once the pointer moved
//   e2e_probe.exe session FLAG
//     Holds the Wine session of its prefix, its desktop set up, until FLAG exists.
//   e2e_probe.exe metrics FILE
//     "frame_width frame_height caption_height client_dx client_dy" of the backup window's
//     style (client_dx, client_dy: the client origin inside the window rectangle).
//   e2e_probe.exe layout F FILE
//     The settings window's controls at character size F as the programs place them, one
//     shell line each: "E2E_SETTINGS_REGISTER_BUTTON=(left top width height)" (client
//     coordinates; a combo box's height is its open list's).
#include <cstdio>
#include <string>

#include "backup/settings_layout.hpp"
#include "common/message_dialog_win32.hpp"
#include "platform/win32_api.hpp"

#include <shellapi.h>

namespace {

std::wstring g_folder;
bk::Win32MessageDialog* g_dialog = nullptr;

void Append(const std::string& line) {
  FILE* out = _wfopen((g_folder + L"\\answers.txt").c_str(), L"ab");
  if (!out) return;
  std::fputs((line + "\n").c_str(), out);
  std::fclose(out);
}

void WaitForGo(const wchar_t* step) {
  const std::wstring flag = g_folder + L"\\go-" + step;
  while (GetFileAttributesW(flag.c_str()) == INVALID_FILE_ATTRIBUTES) Sleep(50);
}

BOOL CALLBACK CountDialog(HWND window, LPARAM count) {
  wchar_t name[32] = {};
  GetClassNameW(window, name, 32);
  if (std::wstring(name) == L"CmsgDialog" && IsWindowVisible(window)) ++*reinterpret_cast<int*>(count);
  return TRUE;
}

// Runs inside the open notice's message loop.
void CALLBACK AskWhileOpen(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  const int answer = g_dialog->ShowMessage("二つ目の質問", bk::DialogMode::YesNo);
  int dialogs = 0;
  EnumWindows(CountDialog, reinterpret_cast<LPARAM>(&dialogs));
  Append("second-asked " + std::to_string(answer) + " " + std::to_string(dialogs));
}

int Dialogs() {
  int f = 7;
  bk::Win32MessageDialog dialog(&f);
  g_dialog = &dialog;

  WaitForGo(L"ok-close");
  const int closed = dialog.ShowMessage("×で閉じる通知", bk::DialogMode::Ok);
  Append("ok-close " + std::to_string(closed) + " " + std::to_string(bk::DialogAnswer()));

  WaitForGo(L"second");
  SetTimer(nullptr, 0, 300, AskWhileOpen);
  const int pressed = dialog.ShowMessage("開いている間に二つ目を出す通知", bk::DialogMode::Ok);
  Append("ok-button " + std::to_string(pressed));

  WaitForGo(L"transient");
  const int moved = dialog.ShowMessage("ポインターが動くと閉じる通知", bk::DialogMode::Transient);
  Append("transient " + std::to_string(moved));
  return 0;
}

// A program started later in this session then finds the desktop already measured.
int Session(const std::wstring& flag) {
  (void)GetDesktopWindow();
  (void)GetSystemMetrics(SM_CXSCREEN);
  while (GetFileAttributesW(flag.c_str()) == INVALID_FILE_ATTRIBUTES) Sleep(50);
  return 0;
}

int Metrics(const std::wstring& file) {
  RECT r{0, 0, 100, 100};
  AdjustWindowRectEx(&r, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, FALSE, 0);
  FILE* out = _wfopen(file.c_str(), L"wb");
  if (!out) return 1;
  std::fprintf(out, "%d %d %d %ld %ld\n", GetSystemMetrics(SM_CXSIZEFRAME), GetSystemMetrics(SM_CYSIZEFRAME),
               GetSystemMetrics(SM_CYCAPTION), -r.left, -r.top);
  std::fclose(out);
  return 0;
}

// The scripts' name of each control of the settings window.
const char* ControlName(int id) {
  switch (id) {
    case bk::ctl::kDriveBox: return "DRIVE_BOX";
    case bk::ctl::kFolderNameBox: return "FOLDER_NAME_BOX";
    case bk::ctl::kDestinationBox: return "DESTINATION_BOX";
    case bk::ctl::kBackupAllButton: return "BACKUP_ALL_BUTTON";
    case bk::ctl::kChoiceBox: return "CHOICE_BOX";
    case bk::ctl::kBackupButton: return "BACKUP_BUTTON";
    case bk::ctl::kRegisterButton: return "REGISTER_BUTTON";
    case bk::ctl::kPowerOffAddBox: return "POWER_OFF_ADD_BOX";
    case bk::ctl::kPowerOffListBox: return "POWER_OFF_LIST_BOX";
    case bk::ctl::kLinkSourceBox: return "LINK_SOURCE_BOX";
    case bk::ctl::kLinkTargetBox: return "LINK_TARGET_BOX";
    case bk::ctl::kLinkListBox: return "LINK_LIST_BOX";
    case bk::ctl::kMailBox: return "MAIL_BOX";
    case bk::ctl::kCharSizeBox: return "CHAR_SIZE_BOX";
    default: return nullptr;
  }
}

int Layout(const std::wstring& size, const std::wstring& file) {
  const int f = _wtoi(size.c_str());
  if (f <= 0) return 2;
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  FILE* out = _wfopen(file.c_str(), L"wb");
  if (!out) return 1;
  for (const bk::ControlSpec& c : bk::SettingsControls(f, work.bottom)) {
    const char* name = ControlName(c.id);
    if (!name) continue;
    std::fprintf(out, "E2E_SETTINGS_%s=(%d %d %d %d)\n", name, c.rect.left, c.rect.top, c.rect.width, c.rect.height);
  }
  std::fclose(out);
  return 0;
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc < 3) return 2;
  const std::wstring what = argv[1];
  if (what == L"layout") return argc == 4 ? Layout(argv[2], argv[3]) : 2;
  if (argc != 3) return 2;
  if (what == L"metrics") return Metrics(argv[2]);
  if (what == L"session") return Session(argv[2]);
  if (what != L"dialog") return 2;
  g_folder = argv[2];
  return Dialogs();
}

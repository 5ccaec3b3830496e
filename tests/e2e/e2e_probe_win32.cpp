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
//     Where the scripts point at character size F, from the programs' own layout code, one
//     shell line each:
//     - the settings window's controls and help marks:
//       "E2E_SETTINGS_REGISTER_BUTTON=(left top width height)" (client coordinates; a combo
//       box's height is its open list's, a help mark's rectangle is its zone);
//     - the registration window's places: "E2E_REG_TYPE_3=(x y left bottom)", x measured
//       from the client area's left or right edge, y from its top or bottom edge (negative
//       from the right or the bottom: the type row hangs from the bottom, so its places
//       hold for any window height).
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "backup/drop_registration.hpp"
#include "backup/registration_layout.hpp"
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

// The scripts' name of each help mark of the settings window.
const char* HelpName(bk::SettingsHelp help) {
  switch (help) {
    case bk::SettingsHelp::FolderName: return "FOLDER_NAME_HELP";
    case bk::SettingsHelp::PowerOff: return "POWER_OFF_HELP";
    case bk::SettingsHelp::Links: return "LINKS_HELP";
    case bk::SettingsHelp::Mail: return "MAIL_HELP";
  }
  return nullptr;
}

void PrintSettingsRect(FILE* out, const char* name, int left, int top, int width, int height) {
  std::fprintf(out, "E2E_SETTINGS_%s=(%d %d %d %d)\n", name, left, top, width, height);
}

void PrintSettingsLayout(FILE* out, int f, int work_area_bottom) {
  for (const bk::ControlSpec& c : bk::SettingsControls(f, work_area_bottom)) {
    if (const char* name = ControlName(c.id)) PrintSettingsRect(out, name, c.rect.left, c.rect.top, c.rect.width, c.rect.height);
  }
  // A zone's bounds are exclusive: its rectangle is the pixels inside them.
  for (const bk::HelpZone& h : bk::SettingsHelpZones(f)) {
    if (const char* name = HelpName(h.help))
      PrintSettingsRect(out, name, h.zone.x0 + 1, h.zone.y0 + 1, h.zone.x1 - h.zone.x0 - 1, h.zone.y1 - h.zone.y0 - 1);
  }
}

// A place of the registration window and the edges its coordinates are measured from.
struct Place {
  const char* name;
  bk::Point at;
  bool from_right = false;
  bool from_bottom = false;
};

// The middle of a text drawn at (x, y): the font is f wide a byte and 2f high.
bk::Point TextMiddle(int f, int x, int y, std::string_view text) {
  return {x + static_cast<int>(text.size()) * f / 2, y + f};
}

std::vector<Place> RegistrationPlaces(int f) {
  // At client height 0 every y of the type row is its distance from the bottom edge.
  const bk::TypeRow row = bk::RegistrationTypeRow(f, 0);
  const bk::Band band = bk::TypeRowBand(f, 0);
  const bk::TopLine top = bk::RegistrationTopLine(f);
  // The children's left and top edges hold for any client size.
  const bk::RegistrationChildren children = bk::RegistrationChildrenFor(f, 0, 0);
  const bk::Rect& list = children.list;
  const bk::Rect& search_box = children.search_box;
  const bk::Rect search_button = bk::SearchButtonRect(f);
  static const char* const kTypes[] = {"TYPE_1", "TYPE_2", "TYPE_3", "TYPE_4", "TYPE_5"};
  static const char* const kZones[] = {"TYPE_1_ZONE", "TYPE_2_ZONE", "TYPE_3_ZONE", "TYPE_4_ZONE", "TYPE_5_ZONE"};
  static const char* const kBlanks[] = {"TYPE_1_BLANK", "TYPE_2_BLANK", "TYPE_3_BLANK", "TYPE_4_BLANK", "TYPE_5_BLANK"};
  static const char* const kGaps[] = {"TYPE_GAP_1", "TYPE_GAP_2", "TYPE_GAP_3", "TYPE_GAP_4"};
  std::vector<Place> places;
  const int text_middle_y = row.text_y + f;
  for (std::size_t i = 0; i < row.types.size(); ++i) {
    const bk::TypeBox& box = row.types[i];
    // A box's text, the middle of its hover zone, its leading blank (where its colour shows).
    places.push_back({kTypes[i], TextMiddle(f, box.x, row.text_y, box.text), false, true});
    places.push_back({kZones[i], {(box.zone.x0 + box.zone.x1) / 2, text_middle_y}, false, true});
    places.push_back({kBlanks[i], {box.x + f / 2, text_middle_y}, false, true});
    // Between this box's zone and the next one's: in the row, on no box.
    if (i + 1 < row.types.size())
      places.push_back({kGaps[i], {(box.zone.x1 + row.types[i + 1].zone.x0) / 2, text_middle_y}, false, true});
  }
  places.push_back({"DELETE", TextMiddle(f, row.delete_x, row.text_y, bk::kDeleteBoxText), false, true});
  places.push_back({"TYPE_ROW_BAND", {0, band.y0}, false, true});
  // The search box a few characters in, where typing lands; the search button on its caption.
  places.push_back({"SEARCH_BOX", {search_box.left + 3 * f, search_box.top + search_box.height / 2}});
  places.push_back({"SEARCH_BUTTON", {search_button.left + 20 * f, search_button.top + search_button.height / 2}});
  // A drop's " 登録中断 " box on the top line, inside the zone where a press stops the walk.
  places.push_back({"DROP_ABORT", TextMiddle(f, top.label_x, top.y, bk::kAbortBoxText)});
  places.push_back({"FILE_COUNT", {top.count_x, top.y}});
  places.push_back({"LIST", {list.left, list.top}});
  // A row of the list is clicked this far across; its y is the row's.
  places.push_back({"LIST_ROW", {20 * f, list.top}});
  // Where the pointer rests while it should bring nothing up, each clear of the type row's
  // band: over the list's first rows, on the search box, at the top line's right end.
  places.push_back({"LIST_REST", {50 * f, 12 * f}});
  places.push_back({"SEARCH_REST", {50 * f, 6 * f}});
  places.push_back({"TOP_RIGHT_REST", {-4 * f, 2 * f}, true, false});
  return places;
}

void PrintRegistrationLayout(FILE* out, int f) {
  for (const Place& p : RegistrationPlaces(f)) {
    std::fprintf(out, "E2E_REG_%s=(%d %d %s %s)\n", p.name, p.at.x, p.at.y, p.from_right ? "right" : "left",
                 p.from_bottom ? "bottom" : "top");
  }
}

int Layout(const std::wstring& size, const std::wstring& file) {
  const int f = _wtoi(size.c_str());
  if (f <= 0) return 2;
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  FILE* out = _wfopen(file.c_str(), L"wb");
  if (!out) return 1;
  PrintSettingsLayout(out, f, work.bottom);
  PrintRegistrationLayout(out, f);
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

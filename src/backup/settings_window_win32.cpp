// The settings window "Kestova": destinations, links, the two backup buttons and options.
#include <algorithm>
#include <optional>

#include "backup/shell_win32.hpp"
#include "common/destination_table.hpp"
#include "common/text_file.hpp"

namespace bk {

namespace {

constexpr COLORREF kSeparator = RGB(100, 100, 127);

DestinationEditor Editor(Shell& shell) {
  return DestinationEditor{shell.fs, shell.ui, shell.state.tables, shell.state.labels, shell.state.free_space_check};
}

HWND Control(Shell& shell, int id) {
  const auto it = shell.controls.find(id);
  return it == shell.controls.end() ? nullptr : it->second;
}

void AddItem(HWND combo, std::string_view text) {
  std::wstring w;
  ToWide(text, &w);
  SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.c_str()));
}

// Fills a box; the open list is as wide as the longest item plus two characters.
void FillBox(Shell& shell, int id, const std::vector<std::string>& items) {
  HWND combo = Control(shell, id);
  if (!combo) return;
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  std::size_t longest = 0;
  for (const std::string& item : items) {
    AddItem(combo, item);
    longest = std::max(longest, item.size());
  }
  SendMessageW(combo, CB_SETDROPPEDWIDTH, static_cast<WPARAM>((longest + 2) * shell.state.f()), 0);
  SendMessageW(combo, CB_SETCURSEL, 0, 0);
}

// Selects the item equal to text (never merely one that begins with it).
void SelectExact(HWND combo, std::string_view text) {
  std::wstring w;
  ToWide(text, &w);
  const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT n = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
    std::wstring item(static_cast<std::size_t>(n) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()));
    item.resize(static_cast<std::size_t>(n));
    if (item == w) {
      SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
      return;
    }
  }
}

void FillDriveBox(Shell& shell) {
  FillBox(shell, ctl::kDriveBox, DriveScan(shell.fs, shell.state.labels));
}

void RefreshBoxes(Shell& shell) {
  const ProgramState& s = shell.state;
  const std::pair<int, DestinationBox> boxes[] = {
      {ctl::kDestinationBox, DestinationBox::Delete},     {ctl::kChoiceBox, DestinationBox::Current},
      {ctl::kPowerOffAddBox, DestinationBox::PowerOffChoice}, {ctl::kPowerOffListBox, DestinationBox::PowerOff},
      {ctl::kLinkSourceBox, DestinationBox::LinkSource},   {ctl::kLinkTargetBox, DestinationBox::LinkTarget},
      {ctl::kLinkListBox, DestinationBox::Links},
  };
  for (const auto& [id, box] : boxes) FillBox(shell, id, BoxItems(s.tables, s.labels, box));
  if (const int current = CurrentIndex(s.tables); current >= 0) {
    const std::string& entry = s.tables.destinations.entries()[static_cast<std::size_t>(current)];
    SelectExact(Control(shell, ctl::kChoiceBox), DisplayForm(s.tables, s.labels, entry));
  }
}

void FillOptionBoxes(Shell& shell) {
  HWND mail = Control(shell, ctl::kMailBox);
  for (std::string_view item : MailItems()) AddItem(mail, item);
  SendMessageW(mail, CB_SETCURSEL, static_cast<WPARAM>(shell.state.tables.mail_option), 0);
  HWND sizes = Control(shell, ctl::kCharSizeBox);
  for (std::string_view item : CharSizeItems()) AddItem(sizes, item);
  const int f = shell.state.f();
  // A size outside the offered range (a hand-edited file) shows no selection.
  SendMessageW(sizes, CB_SETCURSEL, (f >= 4 && f <= 12) ? static_cast<WPARAM>(f - 4) : static_cast<WPARAM>(-1), 0);
}

HWND MakeControl(Shell& shell, HWND parent, const ControlSpec& control) {
  DWORD style = WS_CHILD | WS_VISIBLE;
  const wchar_t* cls = L"BUTTON";
  switch (control.kind) {
    case ControlKind::Combo: cls = L"COMBOBOX"; style |= WS_VSCROLL | CBS_DROPDOWNLIST; break;
    case ControlKind::SortedCombo: cls = L"COMBOBOX"; style |= WS_VSCROLL | CBS_DROPDOWNLIST | CBS_SORT; break;
    case ControlKind::Edit: cls = L"EDIT"; style |= WS_BORDER | ES_AUTOHSCROLL; break;
    case ControlKind::Button: style |= BS_PUSHBUTTON; break;
  }
  std::wstring text;
  if (control.kind == ControlKind::Edit || control.kind == ControlKind::Button) ToWide(control.text, &text);
  HWND h = CreateWindowExW(0, cls, text.c_str(), style, control.rect.left, control.rect.top, control.rect.width,
                           control.rect.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                           shell.instance, nullptr);
  SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(shell.font.get()), TRUE);
  if (control.kind == ControlKind::Combo && control.id == ctl::kDriveBox) {
    AddItem(h, control.text);  // "-" until the drives are read
    SendMessageW(h, CB_SETCURSEL, 0, 0);
  }
  return h;
}

bool IsComboCommand(int id) {
  return (id >= ctl::kDriveBox && id <= ctl::kLinkTargetBox) || id == ctl::kMailBox || id == ctl::kCharSizeBox ||
         id == ctl::kLinkListBox;
}

void ComboChosen(Shell& shell, int id) {
  ProgramState& s = shell.state;
  DestinationEditor ed = Editor(shell);
  const std::string item = ComboSelection(Control(shell, id));
  bool changed = false;
  switch (id) {
    case ctl::kDriveBox:
      changed = RegisterDestination(ed, item, WindowTextOf(Control(shell, ctl::kFolderNameBox)));
      break;
    case ctl::kDestinationBox: changed = DeleteDestination(ed, item); break;
    case ctl::kChoiceBox:
      changed = ChooseCurrent(ed, item);
      if (changed) s.remembered_type = 0;
      break;
    case ctl::kPowerOffAddBox: changed = AddPowerOff(ed, item); break;
    case ctl::kPowerOffListBox: changed = RemovePowerOff(ed, item); break;
    case ctl::kLinkSourceBox: ChooseLinkSource(ed, item); break;
    case ctl::kLinkTargetBox:
      changed = LinkOrRename(ed, ComboSelection(Control(shell, ctl::kLinkSourceBox)), item);
      break;
    case ctl::kLinkListBox: changed = DeleteLink(ed, item); break;
    case ctl::kMailBox: {
      const LRESULT index = SendMessageW(Control(shell, id), CB_GETCURSEL, 0, 0);
      if (index == 0 || index == 1) s.tables.mail_option = static_cast<int>(index);
      break;
    }
    case ctl::kCharSizeBox: {
      const LRESULT index = SendMessageW(Control(shell, id), CB_GETCURSEL, 0, 0);
      if (index >= 0 && index <= 8) s.requests.font_size = static_cast<int>(index) + 104;
      break;
    }
    default: break;
  }
  if (changed) RefreshBoxes(shell);
}

std::optional<SettingsHelp> HelpAt(int f, int x, int y) {
  for (const HelpZone& z : SettingsHelpZones(f))
    if (z.zone.Contains(x, y)) return z.help;
  return std::nullopt;
}

}  // namespace

void CreateSettingsControls(Shell& shell, HWND window) {
  shell.controls.clear();
  for (const ControlSpec& control : SettingsControls(shell.state.f(), shell.state.screen.work_bottom))
    shell.controls[control.id] = MakeControl(shell, window, control);
  // A folder name longer than a table slot could never be registered.
  SendMessageW(Control(shell, ctl::kFolderNameBox), EM_LIMITTEXT, 255, 0);
  FillDriveBox(shell);
  RefreshBoxes(shell);
  FillOptionBoxes(shell);
}

void PaintSettings(Shell& shell, HDC dc) {
  const int f = shell.state.f();
  SelectedObject font(dc, shell.font.get());
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, kBackground);
  for (const PaintText& t : SettingsTexts(f)) {
    SetTextColor(dc, t.red ? kMarkRed : RGB(0, 0, 0));
    DrawSjisText(dc, t.x, t.y, t.text);
  }
  Pen pen(CreatePen(PS_SOLID, 2, kSeparator));
  SelectedObject keep(dc, pen.get());
  for (int y : SettingsSeparators(f)) {
    MoveToEx(dc, 0, y, nullptr);
    LineTo(dc, 63 * f, y);
  }
}

void SettingsCommand(Shell& shell, int id, int notification) {
  ProgramState& s = shell.state;
  if (IsComboCommand(id)) {
    if (notification != CBN_SELENDOK) return;  // opening or scrolling a box does nothing
    if (s.dialog_open) return;                  // a choice made while a dialog is up does nothing
    ComboChosen(shell, id);
    return;
  }
  switch (id) {
    case ctl::kBackupAllButton: s.requests.backup = 2; break;
    case ctl::kBackupButton: s.requests.backup = 1; break;
    case ctl::kRegisterButton:
      if (!IsLinkTargetItem(ComboSelection(Control(shell, ctl::kChoiceBox)))) s.requests.destination = true;
      break;
    default: break;
  }
}

void RunSettingsWindow(Shell& shell) {
  ProgramState& s = shell.state;
  s.remembered_top = 0;
  const int f = s.f();
  const Rect r = SettingsWindowPlacement(f, s.settings.settings_x, s.settings.settings_y, s.screen);
  HWND window = CreateWindowExW(0, L"\u3000", L"Kestova", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                r.left, r.top, r.width, r.height, nullptr, nullptr, shell.instance, nullptr);
  if (!window) return;
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  s.window_active = true;
  shell.in_drive_area = false;
  while (s.window_active) {
    PumpOneMessage();
    const POINT p = PointerInClient(window);
    const bool in_area = DriveBoxArea(f).Contains(p.x, p.y);
    if (in_area && !shell.in_drive_area) FillDriveBox(shell);  // drives plugged in meanwhile
    shell.in_drive_area = in_area;
    if (s.requests.any()) s.window_active = false;
    if (s.click_pending) {
      s.click_pending = false;
      if (const auto help = HelpAt(f, p.x, p.y)) shell.ui.ShowMessage(SettingsHelpText(*help), DialogMode::Ok);
    }
    Sleep(10);
  }
  if (const Status saved = SaveToDrive(shell.fs, s.tables); !saved) {
    // The choices of this window would be lost without a word otherwise.
    shell.ui.ShowMessage(FailureMessage(shell.fs, saved, kToDrivePath), DialogMode::Ok);
  }
  DestroyWindow(window);
  shell.controls.clear();
  shell.font.reset();
  shell.main = nullptr;
}

}  // namespace bk

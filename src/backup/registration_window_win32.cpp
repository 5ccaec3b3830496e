// The registration window of the current destination: the five type boxes, the list of
// the current type (an owner-data list view), totals, search and deletion. It creates,
// paints and translates; where things stand is registration_layout, drops are
// registration_drop_win32.
#include "backup/shell_win32.hpp"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "backup/registration_drop_win32.hpp"
#include "backup/registration_layout.hpp"
#include "backup/search_delete.hpp"
#include "common/registration_list.hpp"
#include "platform/shift_jis.hpp"
#include "engine/backup_run.hpp"

namespace bk {

namespace {

constexpr COLORREF kHoverRed = RGB(255, 0, 0);
constexpr COLORREF kHasList = RGB(255, 255, 190);
constexpr COLORREF kNoList = RGB(255, 255, 255);

HWND Control(Shell& shell, int id) {
  const auto it = shell.controls.find(id);
  return it == shell.controls.end() ? nullptr : it->second;
}

ListOwner Owner(Shell& shell) {
  const CurrentDestination& d = shell.state.tables.current;
  return ListOwner{shell.fs, d.drive, d.folder};
}

void SetHeader(Shell& shell) {
  std::wstring w;
  ToWide(shell.state.view.header, &w);
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT;
  column.pszText = w.data();
  SendMessageW(Control(shell, ctl::kListView), LVM_SETCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
}

// Show list: the rows, the header, the totals, the item count.
void ShowList(Shell& shell) {
  ProgramState& s = shell.state;
  HWND list = Control(shell, ctl::kListView);
  SendMessageW(list, LVM_SETITEMCOUNT, 0, 0);
  BuildListView(Owner(shell), s.list, &s.view);
  SetHeader(shell);
  InvalidateRect(shell.main, nullptr, FALSE);
  SendMessageW(list, LVM_SETITEMCOUNT, static_cast<WPARAM>(s.view.row_count()), LVSICF_NOINVALIDATEALL);
}

std::string FreeSpaceText(std::uint64_t bytes) {
  if (bytes == 0) return "0";
  return TotalSizeText(static_cast<std::int64_t>(bytes));
}

void InsertColumn(HWND list, int index, std::string_view title, int format, int width) {
  std::wstring text;
  ToWide(title, &text);
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
  column.fmt = format;
  column.cx = width;
  column.pszText = text.data();
  SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

void MoveControl(HWND control, const Rect& r) { MoveWindow(control, r.left, r.top, r.width, r.height, TRUE); }

HWND MakeChild(Shell& shell, HWND parent, const wchar_t* window_class, const std::wstring& text, DWORD style,
               const Rect& r, int id) {
  HWND child = CreateWindowExW(0, window_class, text.c_str(), WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.width,
                               r.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), shell.instance,
                               nullptr);
  SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(shell.font.get()), TRUE);
  shell.controls[id] = child;
  return child;
}

void LayOutChildren(Shell& shell, int w, int h) {
  const RegistrationChildren children = RegistrationChildrenFor(shell.state.f(), w, h);
  MoveControl(Control(shell, ctl::kListView), children.list);
  MoveControl(Control(shell, ctl::kSearchBox), children.search_box);
  InvalidateRect(Control(shell, ctl::kListView), nullptr, TRUE);
  InvalidateRect(shell.main, nullptr, TRUE);
}

std::vector<std::size_t> SelectedRows(HWND list) {
  std::vector<std::size_t> rows;
  int i = -1;
  while ((i = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(i), LVNI_SELECTED))) != -1)
    rows.push_back(static_cast<std::size_t>(i));
  return rows;
}

}  // namespace

void ShowListOf(Shell& shell) { ShowList(shell); }

void CreateRegistrationControls(Shell& shell, HWND window) {
  const int f = shell.state.f();
  shell.controls.clear();
  // The list is sized by the first WM_SIZE.
  HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"",
                              WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_OWNERDATA,
                              0, 0, 0, 0, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(ctl::kListView)),
                              shell.instance, nullptr);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(shell.font.get()), TRUE);
  const ListColumns widths = RegistrationListColumns(f);
  InsertColumn(list, 0, "　　　ファイルリスト　...", LVCFMT_LEFT, widths.path_width);
  InsertColumn(list, 1, "サイズ", LVCFMT_RIGHT, widths.size_width);
  shell.controls[ctl::kListView] = list;

  std::wstring caption;
  ToWide("検索（次行から又はクリックの次行から)", &caption);
  MakeChild(shell, window, L"BUTTON", caption, BS_PUSHBUTTON, SearchButtonRect(f), ctl::kSearchButton);
  MakeChild(shell, window, L"EDIT", L"", WS_BORDER | ES_AUTOHSCROLL, SearchBoxFirstRect(f), ctl::kSearchBox);
}

void RegistrationSize(Shell& shell, int w, int h, bool minimised) {
  ProgramState& s = shell.state;
  // A minimised window keeps its children where they are for its restoring.
  if (RecordRegistrationResize(&s.settings, &s.width_adjust, w, h, minimised, s.screen.frame_width, s.f()))
    LayOutChildren(shell, w, h);
}

LRESULT RegistrationNotify(Shell& shell, NMHDR* header) {
  ProgramState& s = shell.state;
  if (header->idFrom != static_cast<UINT_PTR>(ctl::kListView)) return 0;
  NoteListNotification(&s.search, header->code == LVN_ODCACHEHINT ? ListNotification::CacheHint : ListNotification::Other,
                       (GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0);
  if (header->code == LVN_GETDISPINFOW) {
    auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
    if ((info->item.mask & LVIF_TEXT) && info->item.cchTextMax > 0) {
      const std::string_view cell = CellText(s.view, static_cast<std::size_t>(info->item.iItem), info->item.iSubItem);
      std::wstring w;
      ToWide(cell, &w);
      // A long path is shown as far as the control's buffer goes, never half a surrogate pair.
      std::size_t n = std::min<std::size_t>(w.size(), static_cast<std::size_t>(info->item.cchTextMax - 1));
      if (n > 0 && n < w.size() && w[n - 1] >= 0xD800 && w[n - 1] <= 0xDBFF) --n;
      std::copy_n(w.data(), n, info->item.pszText);
      info->item.pszText[n] = L'\0';
    }
    return 0;
  }
  if (header->code == LVN_ODCACHEHINT) {
    HWND list = Control(shell, ctl::kListView);
    const long long top = SendMessageW(list, LVM_GETTOPINDEX, 0, 0);
    const long long per_page = SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0);
    if (const auto width = CacheHintWidth(&s.view, top, per_page))
      SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, *width * s.f());
  }
  return 0;
}

void PaintRegistration(Shell& shell, HDC dc) {
  ProgramState& s = shell.state;
  const int f = s.f();
  RECT client{};
  GetClientRect(shell.main, &client);
  SelectedObject font(dc, shell.font.get());
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, kBackground);
  SetTextColor(dc, RGB(0, 0, 0));
  const TopLine top = RegistrationTopLine(f);
  if (s.registration_phase == RegistrationPhase::Idle) {
    DrawSjisText(dc, top.label_x, top.y, "ファイル数                    ");
    DrawSjisText(dc, top.count_x, top.y, FileCountText(s.view));
  } else if (s.registration_phase == RegistrationPhase::MergePending) {
    DrawSjisText(dc, top.label_x, top.y, DuplicateCheckText(s.duplicate_checked, s.duplicate_total));
  }
  DrawSjisText(dc, top.size_label_x, top.y, "総サイズ");
  DrawSjisText(dc, top.size_x, top.y, PaintedTotalSizeText(s.view.total_registered_size));
  if (s.free_space_check) {
    const std::string text = DriveRoot(s.tables.current.drive) + "の空き領域 " + s.free_text + std::string(13, ' ');
    DrawSjisText(dc, top.free_space_x, top.y, sjis::CutAtCharBoundary(text, 25));
  }
  // The type row: the box under the pointer is red and becomes the current type.
  const TypeRow row = RegistrationTypeRow(f, client.bottom);
  const POINT p = PointerInClient(shell.main);
  const char before = s.current_type;
  s.hovered_type = 0;
  for (const TypeBox& box : row.types) {
    const bool hovered = box.zone.Contains(p.x, p.y);
    const bool has_list = s.view.type_present[static_cast<std::size_t>(box.type - '1')];
    SetBkColor(dc, hovered ? kHoverRed : (has_list ? kHasList : kNoList));
    DrawSjisText(dc, box.x, row.text_y, box.text);
    if (hovered) {
      s.hovered_type = box.type;
      s.current_type = box.type;
    }
  }
  if (s.registration_phase != RegistrationPhase::Idle) s.current_type = before;  // a drop in progress keeps its type
  s.delete_hover = row.delete_zone.Contains(p.x, p.y);
  SetBkColor(dc, s.delete_hover ? kHoverRed : kNoList);
  DrawSjisText(dc, row.delete_x, row.text_y, kDeleteBoxText);
  SetBkColor(dc, kBackground);
  SetTextColor(dc, kMarkRed);
  const Point search_mark = SearchHelpMark(f);
  DrawSjisText(dc, search_mark.x, search_mark.y, "？");
  DrawSjisText(dc, row.registration_help_x, row.text_y, "？");
  DrawSjisText(dc, row.deletion_help_x, row.text_y, "？");
}

void RegistrationCommand(Shell& shell, int id) {
  if (id == ctl::kSearchButton && shell.state.registration_phase == RegistrationPhase::Idle) shell.state.search_request = true;
}

// One pass of the registration window's pump after its message.
void RegistrationPeriodicWork(Shell& shell, POINT& last_pointer) {
  ProgramState& s = shell.state;
  const int f = s.f();
  RECT client{};
  GetClientRect(shell.main, &client);
  const POINT p = PointerInClient(shell.main);
  const bool moved = p.x != last_pointer.x || p.y != last_pointer.y;
  last_pointer = p;
  const bool in_band = TypeRowBand(f, client.bottom).Contains(p.y);
  if (moved || s.click_pending) {
    if (in_band) {
      s.highlight = true;
      InvalidateRect(shell.main, nullptr, FALSE);
    } else if (s.highlight) {
      s.highlight = false;
      InvalidateRect(shell.main, nullptr, FALSE);
    }
    if (s.click_pending) {
      const RegistrationClick click = ClassifyClick(p.x, p.y, f, client.bottom, RegistrationTypeRow(f, client.bottom).left);
      if (!ShowHelp(click, shell.ui) && click == RegistrationClick::TypeRow && s.hovered_type != 0 &&
          s.registration_phase == RegistrationPhase::Idle) {
        s.current_type = SwitchType(Owner(shell), shell.ui, s.hovered_type, s.registration_phase, s.current_type,
                                    &s.list, &s.view);
        SetHeader(shell);
        SendMessageW(Control(shell, ctl::kListView), LVM_SETITEMCOUNT, static_cast<WPARAM>(s.view.row_count()), 0);
        InvalidateRect(shell.main, nullptr, FALSE);
      }
    }
  }
  HWND list = Control(shell, ctl::kListView);
  if (s.search.list_clicked) {
    const int first = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    SearchFromClick(&s.search, first >= 0 ? std::optional<std::size_t>(static_cast<std::size_t>(first)) : std::nullopt,
                    s.view.row_count());
  }
  if (s.search_request) {
    const SearchResult r = Search(&s.search, s.view, WindowTextOf(Control(shell, ctl::kSearchBox)), shell.ui);
    if (r.outcome != SearchOutcome::Pending) s.search_request = false;
    if (r.outcome == SearchOutcome::Found) SelectAndClickLine(shell, r.row);
  }
  MergePendingDrop(shell);
  if (s.delete_request && s.registration_phase == RegistrationPhase::Idle) {
    s.delete_request = false;
    const std::vector<std::size_t> rows = SelectedRows(list);
    const DeleteResult r = DeleteSelected(Owner(shell), shell.ui, rows, &s.list, &s.view);
    if (r.deleted) {
      if (r.type_digit != 0) s.current_type = r.type_digit;
      SetHeader(shell);
      SendMessageW(list, LVM_SETITEMCOUNT, static_cast<WPARAM>(s.view.row_count()), 0);
      InvalidateRect(shell.main, nullptr, FALSE);
      if (r.select_row) SelectAndClickLine(shell, *r.select_row);
    }
  }
  s.click_pending = false;
}

void SelectAndClickLine(Shell& shell, std::size_t row) {
  const int f = shell.state.f();
  HWND list = Control(shell, ctl::kListView);
  SetWindowPos(shell.main, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = 0;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
  RECT client{};
  GetClientRect(shell.main, &client);
  RECT r{};
  for (int i = 0; i < 2; ++i) {
    r.left = LVIR_BOUNDS;
    SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
    SendMessageW(list, LVM_SCROLL, 0, CentringScroll(f, r.top, client.bottom));
  }
  r.left = LVIR_BOUNDS;
  SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
  POINT remembered{};
  GetCursorPos(&remembered);
  const Point click = LineClickPoint(f, r.top);
  POINT target{click.x, click.y};
  ClientToScreen(list, &target);
  ShowCursor(FALSE);
  SetCursorPos(target.x, target.y);
  for (int i = 0; i < 2; ++i) {
    mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    Sleep(100);
    mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
  }
  ShowCursor(TRUE);
  SetCursorPos(remembered.x, remembered.y);
  SetWindowPos(shell.main, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
}

void RunRegistrationWindow(Shell& shell) {
  ProgramState& s = shell.state;
  const int f = s.f();
  const CurrentDestination& d = s.tables.current;
  if (s.free_space_check) {
    std::uint64_t bytes = 0;
    (void)shell.fs.FreeSpace(DriveRoot(d.drive), &bytes);
    s.free_text = FreeSpaceText(bytes);
  }
  const Rect place = RegistrationWindowPlacement(f, s.width_adjust, s.settings.extra_height, s.settings.registration_x,
                                                 s.settings.registration_y, s.screen);
  SyncTarget target{d.drive, d.folder};
  std::wstring title;
  ToWide(WindowTitle(target, LabelOf(s.labels, d.Text())), &title);
  HWND window = CreateWindowExW(0, L"\u3000", title.c_str(),
                                WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX, place.left,
                                place.top, place.width, place.height, nullptr, nullptr, shell.instance, nullptr);
  if (!window) return;
  DragAcceptFiles(window, TRUE);
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);

  // The list of the remembered type (or the first that exists).
  LoadedList loaded;
  (void)LoadList(shell.fs, d.drive, d.folder, s.remembered_type ? s.remembered_type : TypeDigit(RegType::File), false, &s.list, &loaded);
  s.current_type = loaded.type_digit;
  ShowList(shell);
  HWND list = Control(shell, ctl::kListView);
  if (s.remembered_top > 0) {
    RECT r{};
    r.left = LVIR_BOUNDS;
    SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(s.remembered_top - 1), reinterpret_cast<LPARAM>(&r));
    SendMessageW(list, LVM_SCROLL, 0, r.top);
  } else {
    SendMessageW(list, LVM_SCROLL, 0, ScrollToTop(f, s.list.line_count));
  }
  s.search = SearchState{};
  s.search_request = s.delete_request = false;  // the fresh search state holds no click either
  s.registration_phase = RegistrationPhase::Idle;

  s.window_active = true;
  {
    const WindowDrops drops(shell, s.list, s.window_active);  // taken only while the pump runs
    POINT last_pointer{-1, -1};
    while (s.window_active) {
      PumpOneMessage();
      RegistrationPeriodicWork(shell, last_pointer);
      Sleep(10);
    }
  }

  // Edits of a link source reach its targets before any backup.
  (void)LinkPropagation(shell.fs, s.tables, shell.ui);  // failures are told
  s.remembered_type = s.list.empty() ? 0 : s.current_type;
  s.remembered_top = static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
  DestroyWindow(list);
  shell.controls.clear();
  DestroyWindow(window);
  shell.font.reset();
  shell.main = nullptr;
  s.view = ListView{};
}

}  // namespace bk

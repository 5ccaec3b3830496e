// The registration window of the current destination: the five type boxes, the list of
// the current type (an owner-data list view), totals, search and deletion.
#include "backup/shell_win32.hpp"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "backup/drop_registration.hpp"
#include "backup/merge_drop.hpp"
#include "common/registration_list.hpp"
#include "engine/backup_run.hpp"
#include "common/shift_jis.hpp"

namespace bk {

namespace {

constexpr COLORREF kHoverRed = RGB(255, 0, 0);
constexpr COLORREF kHasList = RGB(255, 255, 190);
constexpr COLORREF kNoList = RGB(255, 255, 255);

struct TypeBoxSpec {
  char type;
  std::string_view text;
  float x;          // drawn at x * f + 2f (the first at 2f)
  float zone_from;  // hover zone, exclusive
  float zone_to;
};
constexpr TypeBoxSpec kTypeBoxes[] = {
    {'1', " ファイル ", 0.0f, 2.0f, 12.2f},
    {'2', " ミラー(除外) ", 11.0f, 12.8f, 27.0f},
    {'3', " ミラー(全て) ", 26.0f, 27.8f, 42.0f},
    {'4', " 差分(除外) ", 41.0f, 42.8f, 55.0f},
    {'5', " 差分(全て) ", 54.0f, 56.0f, 68.0f},
};

// The search box's width correction by character size.
float SearchBoxCorrection(int f) {
  switch (f) {
    case 4: case 5: return 1.0f;
    case 6: return 1.3f;
    case 7: return 1.6f;
    case 8: return 2.2f;
    case 9: return 1.7f;
    case 10: return 2.4f;
    case 11: return 2.6f;
    case 12: return 4.8f;
    default: return 1.6f;
  }
}

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

void LayOutChildren(Shell& shell, int w, int h) {
  const int f = shell.state.f();
  MoveWindow(Control(shell, ctl::kListView), 2 * f, Scaled(f, 7.6f), w - 4 * f, h - 13 * f, TRUE);
  MoveWindow(Control(shell, ctl::kSearchBox), 45 * f, Scaled(f, 3.3f),
             static_cast<int>(static_cast<float>(w) - 46.5f * static_cast<float>(f) - SearchBoxCorrection(f)), 3 * f,
             TRUE);
  InvalidateRect(Control(shell, ctl::kListView), nullptr, TRUE);
  InvalidateRect(shell.main, nullptr, TRUE);
}

POINT PointerInClient(HWND window) {
  POINT p{};
  GetCursorPos(&p);
  ScreenToClient(window, &p);
  return p;
}

std::vector<std::size_t> SelectedRows(HWND list) {
  std::vector<std::size_t> rows;
  int i = -1;
  while ((i = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(i), LVNI_SELECTED))) != -1)
    rows.push_back(static_cast<std::size_t>(i));
  return rows;
}

// The window side of a drop: topmost while registering, the progress drawn on the top line.
class WindowDropHooks final : public DropHooks {
 public:
  explicit WindowDropHooks(Shell& shell) : shell_(shell) {}
  void DropStarted() override {
    SetWindowPos(shell_.main, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  }
  void DropEnded() override {
    SetWindowPos(shell_.main, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  }
  void PhaseChanged(RegistrationPhase phase) override { shell_.state.registration_phase = phase; }
  void ShowList(const ListBuffer&) override { bk::ShowListOf(shell_); }
  void ClearProgress() override { Draw(std::string(32, ' '), 2 * f(), kBackground); }
  void ShowAbortBox() override { Draw(kAbortBoxText, 2 * f(), RGB(255, 255, 255)); }
  void ShowWalkProgress(std::size_t folders_found) override {
    const POINT p = PointerInClient(shell_.main);
    const bool over = p.x > 2 * f() && p.x < 11 * f() && 2 * p.y > f() && p.y < 3 * f();
    Draw(kAbortBoxText, 2 * f(), over ? kHoverRed : RGB(255, 255, 255));
    Draw(std::to_string(folders_found), 13 * f(), kBackground);
  }
  void ShowScanProgress(std::string_view text) override { Draw(text, 2 * f(), kBackground); }
  void PumpOneMessage() override { bk::PumpOneMessage(); }

 private:
  int f() const { return shell_.state.f(); }
  void Draw(std::string_view text, int x, COLORREF background) {
    HDC dc = GetDC(shell_.main);
    {
      SelectGuard keep(dc, shell_.font.get());
      SetBkMode(dc, OPAQUE);
      SetBkColor(dc, background);
      SetTextColor(dc, RGB(0, 0, 0));
      DrawSjisText(dc, x, f() / 2, text);
    }
    ReleaseDC(shell_.main, dc);
  }
  Shell& shell_;
};

class WindowMergeHooks final : public MergeHooks {
 public:
  explicit WindowMergeHooks(Shell& shell) : shell_(shell) {}
  void Progress(std::size_t checked, std::size_t total) override {
    shell_.state.duplicate_checked = checked;
    shell_.state.duplicate_total = total;
    // The last count comes with no pump after it: the next paint (under a message) shows it.
    InvalidateRect(shell_.main, nullptr, FALSE);
  }
  void RepaintAndPump() override {
    InvalidateRect(shell_.main, nullptr, FALSE);
    UpdateWindow(shell_.main);
    bk::PumpOneMessage();
  }

 private:
  Shell& shell_;
};

// The drop's state for the life of one registration window.
struct DropState {
  DropState(Shell& shell, ListBuffer& list, bool& keep_going)
      : report(shell.fs, shell.clock), hooks(shell), ctx(shell.fs, report, shell.ui, hooks, list, keep_going) {}
  ErrorReport report;
  WindowDropHooks hooks;
  DropContext ctx;
};

DropState*& CurrentDrop() {
  static DropState* drop = nullptr;
  return drop;
}

void MergePendingDrop(Shell& shell) {
  DropState* drop = CurrentDrop();
  if (!drop || drop->ctx.phase != RegistrationPhase::MergePending) return;
  ProgramState& s = shell.state;
  WindowMergeHooks hooks(shell);
  const DropBatch& batch = drop->ctx.batch;
  MergeRequest request{shell.fs, shell.ui, shell.clock, hooks, s.tables.current.drive, s.tables.current.folder,
                       batch.type_digit, DropCounters{batch.files_registered, batch.marker_lines, batch.problems}};
  const MergeResult result = MergeDrop(request, &s.list);
  // A list loaded meanwhile keeps its own type.
  if (!result.list_replaced) s.current_type = batch.type_digit;
  ShowListOf(shell);
  if (!result.list_replaced && !result.first_new_folder.empty()) {
    if (const auto row = FindRow(s.view, result.first_new_folder)) SelectAndClickLine(shell, *row);
  }
  SetPhase(drop->ctx, RegistrationPhase::Idle);
  s.registration_phase = RegistrationPhase::Idle;
}

}  // namespace

void ShowListOf(Shell& shell) { ShowList(shell); }

void RegistrationDrop(Shell& shell, HDROP dropped) {
  DropState* drop = CurrentDrop();
  ProgramState& s = shell.state;
  if (drop && drop->ctx.phase == RegistrationPhase::Idle) {
    std::vector<DroppedPath> items;
    const UINT count = DragQueryFileW(dropped, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
      const UINT n = DragQueryFileW(dropped, i, nullptr, 0);
      std::wstring w(n + 1, L'\0');
      DragQueryFileW(dropped, i, w.data(), n + 1);
      w.resize(n);
      DroppedPath item;
      FromWide(w, &item.path);
      items.push_back(std::move(item));
    }
    drop->ctx.drive = s.tables.current.drive;
    drop->ctx.folder = s.tables.current.folder;
    drop->ctx.free_space_check = s.free_space_check;
    drop->ctx.destination_folders = s.tables.destinations.entries();
    const char type = s.hovered_type;
    DragFinish(dropped);
    if (type != 0) RegisterDrop(drop->ctx, items, type);
    s.window_active = true;  // an abort click ends the scan, not the window
    return;
  }
  DragFinish(dropped);  // a drop while another is being registered is ignored
}

void CreateRegistrationControls(Shell& shell, HWND window) {
  const int f = shell.state.f();
  shell.controls.clear();
  HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"",
                              WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_OWNERDATA,
                              0, 0, 0, 0, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(ctl::kListView)),
                              shell.instance, nullptr);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(shell.font.get()), TRUE);
  std::wstring header, size;
  ToWide("　　　ファイルリスト　...", &header);
  ToWide("サイズ", &size);
  LVCOLUMNW c0{};
  c0.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
  c0.fmt = LVCFMT_LEFT;
  c0.cx = 60 * f;
  c0.pszText = header.data();
  SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&c0));
  LVCOLUMNW c1{};
  c1.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
  c1.fmt = LVCFMT_RIGHT;
  c1.cx = 13 * f;
  c1.pszText = size.data();
  SendMessageW(list, LVM_INSERTCOLUMNW, 1, reinterpret_cast<LPARAM>(&c1));
  shell.controls[ctl::kListView] = list;

  std::wstring caption;
  ToWide("検索（次行から又はクリックの次行から)", &caption);
  HWND button = CreateWindowExW(0, L"BUTTON", caption.c_str(), WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 2 * f, 3 * f,
                                39 * f, Scaled(f, 3.4f), window,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(ctl::kSearchButton)), shell.instance,
                                nullptr);
  SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(shell.font.get()), TRUE);
  shell.controls[ctl::kSearchButton] = button;
  HWND box = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, 45 * f,
                             Scaled(f, 3.3f), 10 * f, 3 * f, window,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(ctl::kSearchBox)), shell.instance, nullptr);
  SendMessageW(box, WM_SETFONT, reinterpret_cast<WPARAM>(shell.font.get()), TRUE);
  shell.controls[ctl::kSearchBox] = box;
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
  const int h = client.bottom;
  SelectGuard font(dc, shell.font.get());
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, kBackground);
  SetTextColor(dc, RGB(0, 0, 0));
  const int top = f / 2;
  if (s.registration_phase == RegistrationPhase::Idle) {
    DrawSjisText(dc, 2 * f, top, "ファイル数                    ");
    DrawSjisText(dc, 11 * f + 2 * f, top, FileCountText(s.view));
  } else if (s.registration_phase == RegistrationPhase::MergePending) {
    DrawSjisText(dc, 2 * f, top, DuplicateCheckText(s.duplicate_checked, s.duplicate_total));
  }
  DrawSjisText(dc, 33 * f + 2 * f, top, "総サイズ");
  DrawSjisText(dc, 42 * f + 2 * f, top, PaintedTotalSizeText(s.view.total_registered_size));
  if (s.free_space_check) {
    const std::string text = DriveRoot(s.tables.current.drive) + "の空き領域 " + s.free_text + std::string(13, ' ');
    DrawSjisText(dc, 55 * f + 2 * f, top, sjis::CutAtCharBoundary(text, 25));
  }
  // The type row: the box under the pointer is red and becomes the current type.
  const POINT p = PointerInClient(shell.main);
  const bool in_band = p.y > h - 5 * f && p.y < h;
  const char before = s.current_type;
  s.hovered_type = 0;
  for (const TypeBoxSpec& box : kTypeBoxes) {
    const bool hovered = in_band && p.x > Scaled(f, box.zone_from) && p.x < Scaled(f, box.zone_to);
    const bool has_list = s.view.type_present[static_cast<std::size_t>(box.type - '1')];
    SetBkColor(dc, hovered ? kHoverRed : (has_list ? kHasList : kNoList));
    DrawSjisText(dc, Scaled(f, box.x) + 2 * f, h - 4 * f, box.text);
    if (hovered) {
      s.hovered_type = box.type;
      s.current_type = box.type;
    }
  }
  if (s.registration_phase != RegistrationPhase::Idle) s.current_type = before;  // a drop in progress keeps its type
  s.delete_hover = in_band && p.x > 71 * f + 2 * f && p.x < 77 * f + 2 * f;
  SetBkColor(dc, s.delete_hover ? kHoverRed : kNoList);
  DrawSjisText(dc, 71 * f + 2 * f, h - 4 * f, " 削除 ");
  SetBkColor(dc, kBackground);
  SetTextColor(dc, kMarkRed);
  DrawSjisText(dc, Scaled(f, 41.3f), Scaled(f, 3.8f), "？");
  DrawSjisText(dc, 66 * f + 2 * f, h - 4 * f, "？");
  DrawSjisText(dc, 77 * f + 2 * f, h - 4 * f, "？");
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
  const bool in_band = p.y > client.bottom - 5 * f && p.y < client.bottom;
  if (moved || s.click_pending) {
    if (in_band) {
      s.highlight = true;
      InvalidateRect(shell.main, nullptr, FALSE);
    } else if (s.highlight) {
      s.highlight = false;
      InvalidateRect(shell.main, nullptr, FALSE);
    }
    if (s.click_pending) {
      const RegistrationClick click = ClassifyClick(p.x, p.y, f, client.bottom, 2 * f);
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
    SendMessageW(list, LVM_SCROLL, 0, 7 * f + r.top - client.bottom / 2);
  }
  r.left = LVIR_BOUNDS;
  SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
  POINT remembered{};
  GetCursorPos(&remembered);
  POINT target{5 * f, f + r.top};
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
  int width = std::min(84 * f + s.width_adjust, s.screen.work_right - s.screen.work_left);
  const int height = s.screen.work_bottom / 2 + s.settings.extra_height;
  int x = s.settings.registration_x, y = s.settings.registration_y;
  if (!HasPosition(x, y)) {
    x = s.screen.work_right / 2 - width / 2;
    y = s.screen.work_bottom / 2 - height / 2;
  }
  SyncTarget target{d.drive, d.folder};
  std::wstring title;
  ToWide(WindowTitle(target, LabelOf(s.labels, d.Text())), &title);
  HWND window = CreateWindowExW(0, L"\u3000", title.c_str(),
                                WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX, x, y, width,
                                height, nullptr, nullptr, shell.instance, nullptr);
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
    SendMessageW(list, LVM_SCROLL, 0, -static_cast<int>((s.list.line_count + 22) * 2 * f));
  }
  s.search = SearchState{};
  s.search_request = s.delete_request = false;  // the fresh search state holds no click either
  s.registration_phase = RegistrationPhase::Idle;

  s.window_active = true;
  DropState drop(shell, s.list, s.window_active);
  CurrentDrop() = &drop;
  POINT last_pointer{-1, -1};
  while (s.window_active) {
    PumpOneMessage();
    RegistrationPeriodicWork(shell, last_pointer);
    Sleep(10);
  }
  CurrentDrop() = nullptr;

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

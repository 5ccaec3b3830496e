// Drops on the registration window: a drop's scan draws its progress on the window's top
// line and keeps the window topmost; the merge that follows runs in the window's pump.
#include "backup/registration_drop_win32.hpp"

#include <shellapi.h>

#include <string>
#include <vector>

#include "backup/drop_registration.hpp"
#include "backup/merge_drop.hpp"
#include "backup/registration_layout.hpp"
#include "common/error_report.hpp"
#include "platform/gdi_win32.hpp"

namespace bk {

namespace {

constexpr COLORREF kHoverRed = RGB(255, 0, 0);
constexpr COLORREF kBoxWhite = RGB(255, 255, 255);

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
  void ShowList(const ListBuffer&) override { ShowListOf(shell_); }
  void ClearProgress() override { Draw(std::string(32, ' '), Top().label_x, kBackground); }
  void ShowAbortBox() override { Draw(kAbortBoxText, Top().label_x, kBoxWhite); }
  void ShowWalkProgress(std::size_t folders_found) override {
    const POINT p = PointerInClient(shell_.main);
    const bool over = DropAbortZone(f()).Contains(p.x, p.y);
    Draw(kAbortBoxText, Top().label_x, over ? kHoverRed : kBoxWhite);
    Draw(std::to_string(folders_found), Top().count_x, kBackground);
  }
  void ShowScanProgress(std::string_view text) override { Draw(text, Top().label_x, kBackground); }
  void PumpOneMessage() override { bk::PumpOneMessage(); }

 private:
  int f() const { return shell_.state.f(); }
  TopLine Top() const { return RegistrationTopLine(f()); }
  void Draw(std::string_view text, int x, COLORREF background) {
    const WindowDc dc(shell_.main);
    SelectedObject keep(dc.get(), shell_.font.get());
    SetBkMode(dc.get(), OPAQUE);
    SetBkColor(dc.get(), background);
    SetTextColor(dc.get(), RGB(0, 0, 0));
    DrawSjisText(dc.get(), x, Top().y, text);
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

DropState*& CurrentDrop() {
  static DropState* drop = nullptr;
  return drop;
}

std::vector<DroppedPath> DroppedPaths(HDROP dropped) {
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
  return items;
}

}  // namespace

// The drop's state for the life of one registration window.
struct DropState {
  DropState(Shell& shell, ListBuffer& list, bool& keep_going)
      : report(shell.fs, shell.clock), hooks(shell), ctx(shell.fs, report, shell.ui, hooks, list, keep_going) {}
  ErrorReport report;
  WindowDropHooks hooks;
  DropContext ctx;
};

WindowDrops::WindowDrops(Shell& shell, ListBuffer& list, bool& keep_going)
    : state_(std::make_unique<DropState>(shell, list, keep_going)) {
  CurrentDrop() = state_.get();
}

WindowDrops::~WindowDrops() { CurrentDrop() = nullptr; }

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

void RegistrationDrop(Shell& shell, HDROP dropped) {
  DropState* drop = CurrentDrop();
  ProgramState& s = shell.state;
  if (drop && drop->ctx.phase == RegistrationPhase::Idle) {
    const std::vector<DroppedPath> items = DroppedPaths(dropped);
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

}  // namespace bk

#include "backup/drop_registration.hpp"

#include <algorithm>

#include "backup/folder_scan.hpp"
#include "common/folder_exclusion.hpp"
#include "common/registration_list.hpp"
#include "platform/shift_jis.hpp"
#include "common/source_path.hpp"
#include "engine/tree_walk.hpp"

namespace bk {

std::string DriveUnreadableMessage(std::string_view root) {
  std::string text = "バックアップ先ドライブ";
  text += ' ';
  text += root;
  text += ' ';
  text += "が認識できません（USBメモリーが接触不良、　外付けHDDの電源が入っていない等々）\n";
  return text;
}

std::string MixedDropMessage(std::string_view path, std::string_view refusal) {
  std::string text(path);
  text += "\n\n";
  text += refusal;
  return text;
}

std::string CopyPathOf(char drive, std::string_view destination_folder, std::string_view source_path) {
  std::string path = DriveRoot(drive);
  path += destination_folder;
  path += source_path.substr(std::min<std::size_t>(2, source_path.size()));
  return path;
}

std::string DestinationInDropMessage(std::string_view path) {
  return MixedDropMessage(path, "バックアップ先のフォルダーです\nバックアップ先とその配下はバックアップ元として登録しません");
}

void SetPhase(DropContext& ctx, RegistrationPhase phase) {
  ctx.phase = phase;
  ctx.hooks.PhaseChanged(phase);
}

namespace {

// "S:\dir\" and "S:\" lose the separator; a trail byte 0x5C (表) is no separator.
std::string_view WithoutTrailingSeparator(std::string_view path) {
  if (!path.empty() && sjis::LastSeparator(path) == path.size() - 1) path.remove_suffix(1);
  return path;
}

// Refusals that need no look at the disk; true when the item may be looked at.
bool AdmitDroppedPath(DropContext& ctx, BatchWriter& out, const DroppedPath& item) {
  if (!IsDrivePath(item.path)) {
    out.ReportSystem(err::kInvalidName, item.path);
    return false;
  }
  // Refused before any look at the disk (the system would not even answer for some of
  // them): a path whose copy the system cannot hold. A folder type's item gets the line of
  // a scanned folder, as a folder would.
  if (!out.PathFits(item.path)) {
    if (ctx.batch.type_digit == TypeDigit(RegType::File)) {
      out.ReportFileTooLong(item.path);
    } else {
      out.ReportEntryTooLong(std::string(WithoutTrailingSeparator(item.path)) + '\\', "");
    }
    return false;
  }
  return true;
}

void RegisterDroppedFile(DropContext& ctx, BatchWriter& out, const std::string& path, const FileInfo& info) {
  if (info.is_directory()) {
    ctx.messages.ShowMessage(MixedDropMessage(path, kFolderOnFileType), DialogMode::Ok);
    return;
  }
  const std::size_t sep = sjis::LastSeparator(path);
  out.AddFile(std::string_view(path).substr(0, sep), std::string_view(path).substr(sep + 1), info.size);
}

void RegisterDroppedFolder(DropContext& ctx, BatchWriter& out, const std::string& path, const FileInfo& info) {
  if (!info.is_directory()) {
    ctx.messages.ShowMessage(MixedDropMessage(path, kFileOnFolderType), DialogMode::Ok);
    return;
  }
  ctx.hooks.ClearProgress();
  ctx.hooks.ShowAbortBox();
  FolderScan(ctx, out, WithoutTrailingSeparator(path));
}

void RegisterItem(DropContext& ctx, BatchWriter& out, const DroppedPath& item) {
  if (!AdmitDroppedPath(ctx, out, item)) return;
  if (IsInsideDestination(ctx.destination_folders, WithoutTrailingSeparator(item.path))) {
    TellDestinationPassed(ctx, item.path);
    return;
  }
  FileInfo info;
  if (const Status s = ctx.fs.GetInfo(item.path, &info); !s) {
    out.ReportSystem(s.code, item.path);
    return;
  }
  if (ctx.batch.type_digit == TypeDigit(RegType::File)) {
    RegisterDroppedFile(ctx, out, item.path, info);
  } else {
    RegisterDroppedFolder(ctx, out, item.path, info);
  }
}

// Phase 1: the dropped-on type's list. One that exists but cannot be read ends the drop
// before anything is written, so the merge can never save over it.
bool LoadDropList(DropContext& ctx, char type_digit) {
  SetPhase(ctx, RegistrationPhase::LoadingList);
  ListBuffer loaded;
  LoadedList which;
  const Status s = LoadList(ctx.fs, ctx.drive, ctx.folder, type_digit, true, &loaded, &which);
  if (!s) {
    ctx.report.Begin();
    ctx.report.AddSystem(ctx.fs.ErrorMessage(s.code), ListFileName(ctx.drive, ctx.folder, type_digit));
    ctx.report.Close();
    ctx.messages.ShowMessage(kRegistrationErrorNotice, DialogMode::Ok);
    SetPhase(ctx, RegistrationPhase::Idle);
    return false;
  }
  ctx.list = std::move(loaded);
  ctx.hooks.ShowList(ctx.list);
  return true;
}

void StartBatch(DropContext& ctx, char type_digit, std::uint64_t free_space) {
  ctx.batch = DropBatch{};
  ctx.batch.type_digit = type_digit;
  ctx.batch.recursive = FollowsTree(type_digit);
  ctx.batch.lines_before = ctx.list.line_count;
  ctx.batch.slot_width = ctx.list.slot_width;
  ctx.batch.free_space = free_space;
}

// Phase 2 and its end: every item registered or refused, then the hand-over.
DropOutcome RegisterItems(DropContext& ctx, const std::vector<DroppedPath>& items) {
  BatchWriter out(ctx);
  if (out.Open()) {
    for (const DroppedPath& item : items) {
      RegisterItem(ctx, out, item);
      if (!ctx.keep_going || out.failed()) break;
    }
  }
  const bool written = out.Close();
  ctx.report.Close();
  if (!written) {
    ctx.messages.ShowMessage(kRegistrationErrorNotice, DialogMode::Ok);
    SetPhase(ctx, RegistrationPhase::Idle);
    return DropOutcome::WorkFileFailed;
  }
  if (ctx.batch.new_lines() == 0) {
    if (ctx.batch.problems > 0) {
      ctx.messages.ShowMessage(kRegistrationErrorNotice, DialogMode::Ok);
    } else {
      (void)ctx.fs.DeleteFile(kErrorReportPath);
    }
    SetPhase(ctx, RegistrationPhase::Idle);
    return DropOutcome::NothingRegistered;
  }
  SetPhase(ctx, RegistrationPhase::MergePending);
  return DropOutcome::MergePending;
}

DropOutcome RunDrop(DropContext& ctx, const std::vector<DroppedPath>& items, char type_digit) {
  std::uint64_t free_space = 0;
  if (ctx.free_space_check && !ctx.fs.FreeSpace(ctx.Root(), &free_space)) {
    ctx.messages.ShowMessage(DriveUnreadableMessage(ctx.Root()), DialogMode::Ok);
    return DropOutcome::DriveUnreadable;
  }
  if (!LoadDropList(ctx, type_digit)) return DropOutcome::ListUnreadable;
  ctx.report.Begin();
  ctx.hooks.ClearProgress();
  StartBatch(ctx, type_digit, free_space);
  SetPhase(ctx, RegistrationPhase::Registering);
  if (type_digit == TypeDigit(RegType::File)) ctx.hooks.ShowAbortBox();
  return RegisterItems(ctx, items);
}

}  // namespace

bool TakesDrop(bool dialog_open, RegistrationPhase phase) { return !dialog_open && phase == RegistrationPhase::Idle; }

bool PressStopsScan(int x, int y, int f, RegistrationPhase phase) {
  return phase == RegistrationPhase::Registering && x > 2 * f && x < 12 * f && 2 * y > f && y < 3 * f;
}

DropOutcome RegisterDrop(DropContext& ctx, const std::vector<DroppedPath>& items, char type_digit) {
  // A drop arriving while the last one is still being merged would overwrite its lines.
  if (!IsTypeDigit(type_digit) || ctx.drive == 0 || ctx.phase != RegistrationPhase::Idle) {
    return DropOutcome::Ignored;
  }
  ctx.hooks.DropStarted();
  const DropOutcome outcome = RunDrop(ctx, items, type_digit);
  // An abort ends the drop, not the window.
  ctx.keep_going = true;
  ctx.hooks.ClearProgress();
  ctx.hooks.DropEnded();
  return outcome;
}

DropOutcome RegisterDrop(DropContext& ctx, const std::vector<std::string>& paths, char type_digit) {
  std::vector<DroppedPath> items;
  items.reserve(paths.size());
  for (const std::string& path : paths) items.push_back({path});
  return RegisterDrop(ctx, items, type_digit);
}

}  // namespace bk

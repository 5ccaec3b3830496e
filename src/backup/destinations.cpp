#include "backup/destinations.hpp"

#include <algorithm>

#include "common/registration_list.hpp"
#include "platform/shift_jis.hpp"
#include "common/source_path.hpp"
#include "common/text_file.hpp"

namespace bk {

namespace {

constexpr std::string_view kLabelOpen = "【";
constexpr std::string_view kLabelClose = "】";
constexpr std::string_view kLinkTargetMark = "連動先";

constexpr std::string_view kNoFolderName = "フォルダー名がありません\nヘルプ（？）を参考にしてください";
constexpr std::string_view kAlreadyRegistered = "すでに登録済です";
constexpr std::string_view kTableFull = "バックアップ先は1000箇所までです\n以降登録出来ません";
constexpr std::string_view kFolderExists =
    "このフォルダーはバックアップ先にすでに存在します\n上書きされますが、登録しますか？";
constexpr std::string_view kDriveLabel = "バックアップ先ドライブ";
constexpr std::string_view kDriveMissing =
    "が認識できません（USBメモリーが接触不良、　外付けHDDの電源が入っていない等々）\n";
constexpr std::string_view kInPowerOff =
    "これは「バックアップ後PC電源を切る」にも登録があります\nそちらを先に削除してください";
constexpr std::string_view kInLinks =
    "これは「複数の連動バックアップ」にも登録があります\nそちらを先に削除してください";
constexpr std::string_view kConfirmDelete =
    "本当に登録を削除しますか？\n\nすでにバックアップ済みのファイルは削除しません";
constexpr std::string_view kConfirmRemove = "本当に登録を削除しますか？";
constexpr std::string_view kTargetNotCurrent =
    "連動バックアップ先はファイル等の登録内容を変更できません。";
constexpr std::string_view kSourceIsTarget =
    "この連動元はすでに連動先として登録済みのため処理しません。";
constexpr std::string_view kTargetIsTarget =
    "この連動先はすでに連動先として登録済みのため処理しません。";
constexpr std::string_view kTargetIsSource =
    "この連動先はすでに連動元として登録済みのため処理しません。";
constexpr std::string_view kSameLink = "連動元と連動先が同じのため処理しません。";
constexpr std::string_view kSeeHelp = "ヘルプ（？）を参考にしてください";

std::string Cat(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view p : parts) out += p;
  return out;
}

// "D:\BK【LABEL】" without the link mark, as messages name a destination.
std::string Named(const VolumeLabels& labels, std::string_view text) {
  return Cat({text, kLabelOpen, LabelOf(labels, text), kLabelClose});
}

void Tell(MessagePort& ui, std::string_view text) { ui.ShowMessage(text, DialogMode::Ok); }

bool AskYes(MessagePort& ui, std::string_view text) {
  // Only "はい" goes ahead: "いいえ" and the × mark both leave everything as it was.
  return ui.ShowMessage(text, DialogMode::YesNo) == kAnswerFirst;
}

bool IsCharStart(std::string_view text, std::size_t pos) {
  std::size_t i = 0;
  while (i < pos) i += sjis::IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
  return i == pos;
}

// Ends with suffix as whole characters (not with the trail byte of a longer character).
bool EndsWithChars(std::string_view text, std::string_view suffix) {
  return text.ends_with(suffix) && IsCharStart(text, text.size() - suffix.size());
}

// Position of the last "【" that starts a character, or npos.
std::size_t LastLabelOpen(std::string_view text) {
  std::size_t found = std::string_view::npos;
  for (std::size_t i = 0; i < text.size();) {
    if (text.substr(i).starts_with(kLabelOpen)) found = i;
    i += sjis::IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
  }
  return found;
}

bool IsLinkSource(const DestinationTables& t, std::string_view text) {
  return std::any_of(t.links.entries().begin(), t.links.entries().end(), [&](const std::string& e) {
    std::string_view source, target;
    return SplitLink(e, &source, &target) && SameDestination(source, text);
  });
}

bool IsLinkTarget(const DestinationTables& t, std::string_view text) {
  return std::any_of(t.links.entries().begin(), t.links.entries().end(), [&](const std::string& e) {
    std::string_view source, target;
    return SplitLink(e, &source, &target) && SameDestination(target, text);
  });
}

std::array<std::string, 5> ListsOf(std::string_view text) {
  return AllListFileNames(text[0], text.substr(3));
}

// Drops a destination from the table with its lists. The folder at the destination and
// the backups in it are left alone.
// A list that cannot be deleted would come back with its old registrations when the same
// destination is registered again: the first such list is told.
void ForgetDestination(DestinationEditor& ed, std::string_view text) {
  const std::string forgotten(text);  // text may be the table's own string
  ed.tables.destinations.Remove(forgotten);
  if (ed.tables.current.chosen() && SameDestination(ed.tables.current.Text(), forgotten)) ed.tables.current = {};
  std::string failure;
  for (const std::string& name : ListsOf(forgotten)) {
    const Status s = ed.fs.DeleteFile(name);
    if (!s && !IsNotFound(s) && failure.empty()) failure = FailureMessage(ed.fs, s, name);  // missing is fine
  }
  if (!failure.empty()) Tell(ed.ui, failure);
}

// Replaces `to` whole with the bytes of `from`, so a failure keeps the old list.
Status CopyList(FileSystem& fs, std::string_view from, std::string_view to) {
  std::string bytes;
  if (Status s = ReadWholeFile(fs, from, &bytes); !s) return s;
  return ReplaceFileWhole(fs, to, bytes);
}

}  // namespace

std::vector<std::string> DriveScan(FileSystem& fs, VolumeLabels& labels) {
  for (std::string& label : labels) label.clear();
  std::vector<std::string> items;
  for (std::size_t i = 0; i < labels.size(); ++i) {
    const std::string root = DriveLetter(static_cast<char>('A' + i)).Root();
    VolumeInfo info;
    if (!fs.GetVolumeInfo(root, &info)) continue;
    labels[i] = info.label;
    items.push_back(root + info.label);
  }
  return items;
}

const std::string& LabelOf(const VolumeLabels& labels, std::string_view text) {
  return LabelOf(labels, text.empty() ? DriveLetter() : DriveLetter(text[0]));
}

std::string DisplayForm(const DestinationTables& tables, const VolumeLabels& labels,
                        std::string_view destination) {
  std::string form = Named(labels, destination);
  if (IsLinkTarget(tables, destination)) form += kLinkTargetMark;
  return form;
}

bool IsLinkTargetItem(std::string_view item) { return EndsWithChars(item, kLinkTargetMark); }

std::string DestinationOfItem(const VolumeLabels& labels, std::string_view item) {
  std::string_view body = item;
  if (IsLinkTargetItem(body)) body.remove_suffix(kLinkTargetMark.size());
  if (!IsDrivePath(body)) return {};
  const std::string suffix = Cat({kLabelOpen, LabelOf(labels, body), kLabelClose});
  std::size_t end = std::string_view::npos;
  if (body.size() >= 3 + suffix.size() && EndsWithChars(body, suffix)) {
    end = body.size() - suffix.size();
  } else if (EndsWithChars(body, kLabelClose)) {
    // The drive's label changed since the item was made: the label is the last 【...】.
    end = LastLabelOpen(body);
  }
  if (end == std::string_view::npos || end < 3) return {};
  return std::string(body.substr(0, end));
}

std::vector<std::string> BoxItems(const DestinationTables& tables, const VolumeLabels& labels,
                                  DestinationBox box) {
  if (box == DestinationBox::Links) return tables.links.entries();
  const DestinationSlots& slots = box == DestinationBox::PowerOff ? tables.power_off : tables.destinations;
  std::vector<std::string> items;
  items.reserve(slots.size());
  for (const std::string& text : slots.entries()) items.push_back(DisplayForm(tables, labels, text));
  return items;
}

int CurrentIndex(const DestinationTables& tables) {
  if (!tables.current.chosen()) return -1;
  const std::string current = tables.current.Text();
  const auto& entries = tables.destinations.entries();
  const auto it = std::find_if(entries.begin(), entries.end(),
                               [&](const std::string& e) { return SameDestination(e, current); });
  return it == entries.end() ? -1 : static_cast<int>(it - entries.begin());
}

bool RegisterDestination(DestinationEditor& ed, std::string_view drive_item,
                         std::string_view folder_name) {
  if (!FolderNameAcceptable(folder_name)) {
    Tell(ed.ui, Cat({drive_item, " ", kNoFolderName}));
    return false;
  }
  // Only a drive item ("X:\" + label) names a drive; the box's "-" registers nothing.
  if (!IsDrivePath(drive_item)) return false;
  const std::string root(drive_item.substr(0, 3));
  ed.labels[DriveLetter(root[0]).index()] = std::string(drive_item.substr(3));
  const std::string text = root + std::string(folder_name);

  // Names differing only in letter case are one folder (and one set of lists).
  for (const std::string& e : ed.tables.destinations.entries()) {
    if (SameDestination(e, text)) {
      Tell(ed.ui, Cat({Named(ed.labels, e), "\n", kAlreadyRegistered}));
      return false;
    }
  }
  if (ed.tables.destinations.full()) {
    Tell(ed.ui, kTableFull);
    return false;
  }
  FileInfo info;
  if (ed.fs.GetInfo(text, &info) && info.is_directory()) {
    if (!AskYes(ed.ui, Cat({Named(ed.labels, text), "\n", kFolderExists}))) return false;
  }
  if (ed.free_space_check) {
    std::uint64_t bytes = 0;
    if (!ed.fs.FreeSpace(root, &bytes)) {
      Tell(ed.ui, Cat({kDriveLabel, " ", root, " ", kDriveMissing}));
      return false;
    }
  }
  return ed.tables.destinations.Add(text);
}

bool DeleteDestination(DestinationEditor& ed, std::string_view item) {
  const std::string text = DestinationOfItem(ed.labels, item);
  if (text.empty() || !ed.tables.destinations.Contains(text)) return false;
  const std::string named = Named(ed.labels, text);
  if (ed.tables.power_off.Contains(text)) {
    Tell(ed.ui, Cat({named, "\n", kInPowerOff}));
    return false;
  }
  if (IsLinkSource(ed.tables, text) || IsLinkTarget(ed.tables, text)) {
    Tell(ed.ui, Cat({named, "\n", kInLinks}));
    return false;
  }
  if (!AskYes(ed.ui, Cat({named, "\n", kConfirmDelete}))) return false;
  ForgetDestination(ed, text);
  return true;
}

bool ChooseCurrent(DestinationEditor& ed, std::string_view item) {
  const std::string text = DestinationOfItem(ed.labels, item);
  // A link target's lists are its source's copies, so it never becomes current.
  if (IsLinkTargetItem(item) || (!text.empty() && IsLinkTarget(ed.tables, text))) {
    Tell(ed.ui, Cat({item, "\n", kTargetNotCurrent}));
    return false;
  }
  if (text.empty() || !ed.tables.destinations.Contains(text)) return false;
  ed.tables.current.drive = text[0];
  ed.tables.current.folder = text.substr(3);
  return true;
}

bool AddPowerOff(DestinationEditor& ed, std::string_view item) {
  const std::string text = DestinationOfItem(ed.labels, item);
  if (text.empty() || !ed.tables.destinations.Contains(text)) return false;
  if (ed.tables.power_off.Contains(text)) {
    Tell(ed.ui, Cat({Named(ed.labels, text), "\n", kAlreadyRegistered}));
    return false;
  }
  return ed.tables.power_off.Add(text);
}

bool RemovePowerOff(DestinationEditor& ed, std::string_view item) {
  const std::string text = DestinationOfItem(ed.labels, item);
  if (text.empty() || !ed.tables.power_off.Contains(text)) return false;
  if (!AskYes(ed.ui, Cat({item, "\n", kConfirmRemove}))) return false;
  return ed.tables.power_off.Remove(text);
}

void ChooseLinkSource(DestinationEditor& ed, std::string_view item) {
  if (IsLinkTargetItem(item)) Tell(ed.ui, Cat({item, "\n", kSourceIsTarget}));
}

bool LinkOrRename(DestinationEditor& ed, std::string_view source_item, std::string_view target_item) {
  if (source_item == target_item) {
    Tell(ed.ui, Cat({"連動元\n", source_item, "\n連動先\n", target_item, "\n\n", kSameLink}));
    return false;
  }
  if (IsLinkTargetItem(target_item)) {
    Tell(ed.ui, Cat({target_item, "\n", kTargetIsTarget}));
    return false;
  }
  if (IsLinkTargetItem(source_item)) {
    Tell(ed.ui, Cat({source_item, "\n", kSourceIsTarget}));
    return false;
  }
  const std::string question =
      Cat({"連動元\n", source_item, "\n連動先\n", target_item, "\n\n処理を中止する場合は閉じる(x)を押す"});
  const std::string source = DestinationOfItem(ed.labels, source_item);
  const std::string target = DestinationOfItem(ed.labels, target_item);
  if (source.empty() || target.empty() || !ed.tables.destinations.Contains(source) ||
      !ed.tables.destinations.Contains(target)) {
    return false;
  }
  // The table itself keeps every target once and never as a source, whatever the items say.
  if (IsLinkTarget(ed.tables, target)) {
    Tell(ed.ui, Cat({target_item, "\n", kTargetIsTarget}));
    return false;
  }
  if (IsLinkTarget(ed.tables, source)) {
    Tell(ed.ui, Cat({source_item, "\n", kSourceIsTarget}));
    return false;
  }
  if (IsLinkSource(ed.tables, target)) {
    Tell(ed.ui, Cat({Named(ed.labels, target), "\n", kTargetIsSource}));
    return false;
  }

  const int answer = ed.ui.ShowMessage(question, DialogMode::LinkRename);
  if (answer == kAnswerSecond) {
    // Rename: the target takes over the source's registrations; the source stays.
    const auto from = ListsOf(source);
    const auto to = ListsOf(target);
    Status failed;
    for (std::size_t i = 0; i < from.size(); ++i) {
      FileInfo info;
      Status s = ed.fs.GetInfo(from[i], &info);
      if (s) s = CopyList(ed.fs, from[i], to[i]);
      if (!s && !IsNotFound(s) && failed) failed = s;  // a list the source lacks is no failure
    }
    if (!failed) Tell(ed.ui, FailureMessage(ed.fs, failed, Named(ed.labels, target)));
    return false;
  }
  if (answer != kAnswerFirst) return false;

  const std::string pair = Cat({source, kLinkSeparator, target});
  if (ed.tables.links.Contains(pair)) {
    Tell(ed.ui, Cat({pair, "\n", kAlreadyRegistered}));
    return false;
  }
  // Only hand-edited destinations can make an entry longer than the reader's line.
  if (pair.size() > kMaxSlotText) {
    Tell(ed.ui, Cat({pair, "\n", kSeeHelp}));
    return false;
  }
  if (!ed.tables.links.Add(pair)) return false;
  // A link target has no registrations of its own: it must not stay the destination whose
  // lists the registration window edits (propagation would overwrite every edit).
  if (ed.tables.current.chosen() && SameDestination(ed.tables.current.Text(), target)) ed.tables.current = {};
  (void)LinkPropagation(ed.fs, ed.tables, ed.ui);  // a failure is told, the link stays
  return true;
}

bool DeleteLink(DestinationEditor& ed, std::string_view entry) {
  std::string_view source, target;
  if (!SplitLink(entry, &source, &target) || !ed.tables.links.Contains(entry)) return false;
  if (ed.tables.power_off.Contains(target)) {
    Tell(ed.ui, Cat({Named(ed.labels, target), "\n", kInPowerOff}));
    return false;
  }
  if (!AskYes(ed.ui, Cat({entry, "\n", kConfirmRemove}))) return false;
  const std::string owned_target(target);  // entry may be the table's own string
  ed.tables.links.Remove(std::string(entry));
  // A target is only ever a copy of its source, so it goes with the link.
  if (!IsLinkSource(ed.tables, owned_target) && !IsLinkTarget(ed.tables, owned_target)) {
    ForgetDestination(ed, owned_target);
  }
  return true;
}

std::string ListCopyFailureText(FileSystem& fs, Status failure, std::string_view target_name) {
  return FailureMessage(fs, failure, Cat({"連動先 ", target_name}));
}

Status LinkPropagation(FileSystem& fs, const DestinationTables& tables, MessagePort& ui) {
  Status first;
  for (const std::string& entry : tables.links.entries()) {
    std::string_view source, target;
    if (!SplitLink(entry, &source, &target) || !IsDrivePath(source) || !IsDrivePath(target)) continue;
    Status failed;  // this target's first failure
    const auto note = [&failed](Status s) {
      if (failed && !s) failed = s;
    };
    const auto from = ListsOf(source);
    const auto to = ListsOf(target);
    for (std::size_t i = 0; i < from.size(); ++i) {
      FileInfo info;
      const Status found = fs.GetInfo(from[i], &info);
      if (found) {
        note(CopyList(fs, from[i], to[i]));
      } else if (IsNotFound(found)) {
        const Status gone = fs.DeleteFile(to[i]);
        if (!IsNotFound(gone)) note(gone);
      } else {
        note(found);  // cannot tell whether the source has this list: keep the target's
      }
    }
    if (!failed) {
      ui.ShowMessage(ListCopyFailureText(fs, failed, target), DialogMode::Ok);
      if (first) first = failed;
    }
  }
  return first;
}

}  // namespace bk

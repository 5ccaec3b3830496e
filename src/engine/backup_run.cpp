#include "engine/backup_run.hpp"

#include "platform/drive_letter.hpp"
#include "common/registration_list.hpp"
#include "common/source_path.hpp"
#include "common/text_file.hpp"

namespace bk {

bool ProbeFreeSpace(FileSystem& fs) {
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    std::uint64_t bytes = 0;
    if (fs.FreeSpace(DriveLetter(letter).Root(), &bytes)) return true;
  }
  return false;
}

VolumeLabels DestinationLabels(FileSystem& fs, const std::vector<SyncTarget>& destinations) {
  VolumeLabels labels;
  std::array<bool, 26> asked{};
  for (const SyncTarget& target : destinations) {
    const DriveLetter letter(target.drive);
    if (!letter) continue;
    const std::size_t slot = letter.index();
    if (asked[slot]) continue;
    asked[slot] = true;
    VolumeInfo volume;
    if (fs.GetVolumeInfo(letter.Root(), &volume)) labels[slot] = volume.label;
  }
  return labels;
}

bool ParseDestination(std::string_view text, SyncTarget* target) {
  if (!IsDrivePath(text) || text.size() < 4) return false;
  target->drive = text[0];
  target->folder = std::string(text.substr(3));
  return true;
}

std::vector<SyncTarget> Command1Destinations(const DestinationTables& tables) {
  std::vector<SyncTarget> out;
  SyncTarget current;
  if (!tables.current.chosen() || !ParseDestination(tables.current.Text(), &current)) return out;
  out.push_back(current);
  const std::string start = tables.current.Text();
  for (const std::string& link : tables.links.entries()) {
    std::string_view source, target_text;
    SyncTarget target;
    if (SplitLink(link, &source, &target_text) && SameDestination(source, start) && ParseDestination(target_text, &target))
      out.push_back(target);
  }
  return out;
}

namespace {
std::vector<SyncTarget> FromSlots(const DestinationSlots& slots) {
  std::vector<SyncTarget> out;
  for (const std::string& text : slots.entries()) {
    SyncTarget t;
    if (ParseDestination(text, &t)) out.push_back(t);
  }
  return out;
}
}  // namespace

std::vector<SyncTarget> Command2Destinations(const DestinationTables& tables) { return FromSlots(tables.destinations); }
std::vector<SyncTarget> PowerOffDestinations(const DestinationTables& tables) { return FromSlots(tables.power_off); }

std::string WindowTitle(const SyncTarget& target, std::string_view label) {
  std::string title = "バックアップ先 ";
  title += target.Root();
  title += target.folder;
  title += " 【";
  title += label;
  title += "】";
  return title;
}

namespace {

// One type of one destination. Returns false when the run must end (abort).
bool RunType(RunContext& ctx, const SyncTarget& target, char type_digit, RunOutcome* outcome) {
  const std::string name = ListFileName(target.drive, target.folder, type_digit);
  ListBuffer list;
  bool found = false;
  if (Status s = ReadListFile(ctx.fs, name, &list, &found); !s) {
    // A list that cannot be read is never taken for an empty one: it is left alone.
    ctx.report.AddSystem(ctx.fs.ErrorMessage(s.code), name);
    return true;
  }
  if (!found || list.empty()) return true;
  ctx.hooks.SetWindowTitle(WindowTitle(target, ctx.settings.LabelOf(target.drive)));

  ctx.flags.cancel = 0;
  ctx.flags.abort = 0;
  std::uint64_t free_space = 0;
  (void)ctx.fs.FreeSpace(target.Root(), &free_space);
  Synchronise(ctx, list, type_digit, target, free_space);
  ++outcome->types_run;

  const Status stored = SaveList(ctx.fs, name, list);
  if (!stored) ctx.report.AddSystem(ctx.fs.ErrorMessage(stored.code), name);
  return ctx.flags.abort.load() == 0;
}

}  // namespace

RunOutcome RunBackup(RunContext& ctx, const std::vector<SyncTarget>& destinations) {
  RunOutcome outcome;
  // A destination of this run is never walked as a source, whatever the caller knew.
  for (const SyncTarget& target : destinations) ctx.settings.destination_folders.push_back(target.Root() + target.folder);
  for (const SyncTarget& target : destinations) {
    // An unreadable list makes the total unknown; RunType reports that list when it gets to it.
    std::int64_t total = 0;
    (void)SumSizes(ctx.fs, target.drive, target.folder, &total);
    ctx.hooks.DestinationStarted(target.Root() + target.folder, total);
    if (ctx.settings.free_space_check) {
      std::uint64_t free_space = 0;
      if (!ctx.fs.FreeSpace(target.Root(), &free_space)) {
        ctx.report.AddDriveMissing(target.Root());
        ++outcome.destinations_skipped;
        continue;
      }
    }
    ++outcome.destinations_visited;
    for (char digit : kTypeDigits) {
      if (!RunType(ctx, target, digit, &outcome)) {
        outcome.aborted = true;
        return outcome;
      }
    }
  }
  return outcome;
}

bool EndRunReport(RunContext& ctx) {
  return EndReport(ctx.fs, ctx.report, ReportKind::Backup,
                   [&](std::string_view notice) { ctx.hooks.ShowCompletionMessage(notice); });
}

}  // namespace bk

// A backup run over one or more destinations: for each, the five registration types in
// order, each list loaded, synchronised and stored back.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "common/destination_table.hpp"
#include "engine/run_context.hpp"
#include "engine/synchronise.hpp"

namespace bk {

// The destinations of "バックアップの実行": the current destination, then every link
// target whose link source is it, in link-table order.
std::vector<SyncTarget> Command1Destinations(const DestinationTables& tables);
// The destinations of "登録全てのバックアップ": the whole destination table.
std::vector<SyncTarget> Command2Destinations(const DestinationTables& tables);
// The destinations of the unattended run before power-off.
std::vector<SyncTarget> PowerOffDestinations(const DestinationTables& tables);

// FreeSpaceCheck: true when one of the drives A to Z, asked in that order, answers a
// free-space query. Without it no free-space display or refusal takes place.
bool ProbeFreeSpace(FileSystem& fs);

// The VolumeLabels of an unattended run: the label of each drive a destination is on, asked
// once per drive (empty when the drive does not answer). The window titles show no other
// drive, so no other letter is asked: each such query costs a start (a card reader without
// a card can take seconds to answer), and its label would never be shown.
VolumeLabels DestinationLabels(FileSystem& fs, const std::vector<SyncTarget>& destinations);

// "D:\BK" -> drive 'D', folder "BK"; false for text that is no destination.
bool ParseDestination(std::string_view text, SyncTarget* target);

// "バックアップ先 <root><folder> 【<label>】"
std::string WindowTitle(const SyncTarget& target, std::string_view label);

struct RunOutcome {
  bool aborted = false;
  std::size_t destinations_visited = 0;
  std::size_t destinations_skipped = 0;  // drive did not answer
  std::size_t types_run = 0;
};

RunOutcome RunBackup(RunContext& ctx, const std::vector<SyncTarget>& destinations);

// The end of a run in the backup program: with problems recorded, the completion message
// is shown and the report's repeated lines removed; without, the report is deleted.
bool EndRunReport(RunContext& ctx);

}  // namespace bk

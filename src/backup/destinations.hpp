// The settings window's destination logic: registering and deleting destinations,
// choosing the current one, the power-off list and the link table, over the tables, the
// file-system port and the message port. The window owns the list boxes; this file says
// what they show and what a choice in them does.
//
// A list-box item is the destination's display form: "D:\BK【LABEL】", followed by
// "連動先" when the destination is the target of a link.
//
// Every editing function returns true when the tables changed: the window then saves
// ToDrive.txt (SaveToDrive) and refills its boxes. Registration lists are changed on disk
// directly (deleted with their destination, copied by a link or a rename).
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "common/destination_table.hpp"
#include "platform/drive_letter.hpp"
#include "common/message_port.hpp"
#include "platform/file_system.hpp"

namespace bk {

struct DestinationEditor {
  FileSystem& fs;
  MessagePort& ui;
  DestinationTables& tables;
  VolumeLabels& labels;
  bool free_space_check = true;
};

// The drive box: "X:\" + label for each drive A..Z whose volume can be queried. The labels
// are cleared first and refilled from the drives found.
std::vector<std::string> DriveScan(FileSystem& fs, VolumeLabels& labels);

// The label of the drive of text ("" for an unknown drive or a text that is no path).
const std::string& LabelOf(const VolumeLabels& labels, std::string_view text);

std::string DisplayForm(const DestinationTables& tables, const VolumeLabels& labels,
                        std::string_view destination);

// True when the item is shown as a link target (ends with "連動先").
bool IsLinkTargetItem(std::string_view item);

// The destination text of a display form, or "" when the item is no display form.
std::string DestinationOfItem(const VolumeLabels& labels, std::string_view item);

// The window's boxes, numbered as in the window.
enum class DestinationBox : int {
  Delete = 1,           // destinations, for deletion
  Current = 2,          // destinations, to choose the current one
  PowerOffChoice = 3,   // destinations, to add to the power-off list
  PowerOff = 4,         // the power-off list
  LinkSource = 5,       // destinations, as link sources
  LinkTarget = 6,       // destinations, as link targets (or rename targets)
  Links = 10,           // the link entries as stored
};

std::vector<std::string> BoxItems(const DestinationTables& tables, const VolumeLabels& labels,
                                  DestinationBox box);

// The index in the destination table of the current destination (SameDestination, never
// one that merely begins alike), or -1 when none is chosen or it is not registered (the
// window then selects the first item).
int CurrentIndex(const DestinationTables& tables);

// Registers root-of-drive_item + folder_name. drive_item is a drive box item.
bool RegisterDestination(DestinationEditor& ed, std::string_view drive_item,
                         std::string_view folder_name);

// Deletes a destination (Delete box item) and its registration lists, after asking.
bool DeleteDestination(DestinationEditor& ed, std::string_view item);

// Makes the item (Current box) the current destination. True when it was set: the window
// then forgets the remembered list type and shows the new destination's lists.
bool ChooseCurrent(DestinationEditor& ed, std::string_view item);

bool AddPowerOff(DestinationEditor& ed, std::string_view item);
bool RemovePowerOff(DestinationEditor& ed, std::string_view item);

// A choice in the LinkSource box: a link target cannot be a source, which is said at once.
void ChooseLinkSource(DestinationEditor& ed, std::string_view item);

// Links the source to the target ("連動化") or copies the source's lists over the target's
// ("名前変更", the tables stay as they are), as the user answers.
bool LinkOrRename(DestinationEditor& ed, std::string_view source_item, std::string_view target_item);

// Deletes a link entry (Links box) and with it the target destination and its lists.
bool DeleteLink(DestinationEditor& ed, std::string_view entry);

// Makes every link target's lists equal to its source's: each existing source list
// replaces the target's whole, a missing one removes the target's. A list whose presence
// cannot be told is left alone. Returns the first failure (the rest still run). A target
// left with stale lists would later be backed up from them without a word, so each such
// target gets one message: the system's text and the target (ListCopyFailureText).
Status LinkPropagation(FileSystem& fs, const DestinationTables& tables, MessagePort& ui);

// The message for a target whose lists could not be made its source's: "連動先 X:\BK".
std::string ListCopyFailureText(FileSystem& fs, Status failure, std::string_view target_name);

}  // namespace bk

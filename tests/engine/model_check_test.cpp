// A model check of the engine: random source trees, random runs of changes between passes,
// random faults during some passes. A small model, written without looking at how the
// engine works, says what the destination and the list must hold after every pass:
//   mirror: exactly the registered files that exist at the source, new files of registered
//           folders included; a registration of all subfolders follows its tree, so new,
//           renamed and moved subfolders of a registered folder are registered and copied
//           in the same pass (the other folder types take nothing of new subfolders);
//   differential and single files: everything ever copied that has not been replaced;
//   a folder the user left out of a registration of all subfolders (its registration
//   deleted): never walked, its copies kept as they were when it was left out.
// After a pass without a fault the destination and the list must match the model exactly;
// after a pass with a fault nothing the model held may be missing from the destination.
//
// Every run is seeded. A failure names its seed and pass; BK_MODEL_SEED=<seed> replays that
// run alone, BK_MODEL_PASSES=<n> raises the number of passes of each run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "common/folder_exclusion.hpp"
#include "engine_fixture.hpp"

namespace bk::test {
namespace {

struct SourceFile {
  std::string content;
  FileTime time = 0;
};

// What one random run works with: the sandbox, the model's picture of the source, the
// registration and the destination, and the random source.
class ModelRun {
 public:
  ModelRun(char type, std::uint32_t seed) : type_(type), rng_(seed), faulty_(box_.fs()), report_(faulty_, clock_) {
    settings_.free_space_check = false;
    settings_.mail_option = 0;
  }

  bool Mirror() const { return type_ == '2' || type_ == '3'; }
  bool SingleFiles() const { return type_ == '1'; }
  bool WithSubfolders() const { return type_ == '3' || type_ == '5'; }

  // A tree of a few hundred files in a dozen folders, registered as a drop would.
  void Build() {
    folders_.insert("S:\\m");
    for (int i = 0; i < 8; ++i) {
      const std::string top = "S:\\m\\" + FolderName(i);
      folders_.insert(top);
      if (i % 3 == 0) folders_.insert(top + "\\" + FolderName(i + 10));
    }
    folders_.insert("S:\\m\\empty");  // a folder registered while empty
    for (const std::string& folder : folders_) {
      if (folder == "S:\\m\\empty") continue;
      const int count = Pick(10, 40);
      for (int i = 0; i < count; ++i) AddFile(folder);
    }
    for (const std::string& folder : folders_) ASSERT_TRUE(test::Succeeded(box_.fs().CreateFolderChain(folder)));
    for (const auto& [path, file] : source_) WriteSource(path, file);

    // Registration: the single-file type registers a sample of files, a few of some
    // folders and nearly all of others; the "all" types the top folder with every
    // subfolder; the "excluding" types each folder on its own (the user dropped them one
    // by one).
    std::string lines;
    if (SingleFiles()) {
      std::map<std::string, int> share;  // in quarters
      for (const std::string& folder : folders_) share[folder] = Pick(0, 1) == 0 ? 1 : 4;
      for (const auto& [path, file] : source_)
        if (Pick(1, 4) <= share[FolderOf(path)] && Pick(0, 9) > 0) registered_files_.insert(path);
      for (const std::string& path : registered_files_)
        lines += MakeRegistrationLine('2', FolderOf(path), NameOf(path), type_, source_[path].content.size());
    } else {
      registered_folders_ = folders_;
      for (const std::string& folder : registered_folders_) {
        bool any = false;
        for (const std::string& path : FilesIn(folder)) {
          any = true;
          listed_[folder].insert(path);
          lines += MakeRegistrationLine('2', folder, NameOf(path), type_, source_[path].content.size());
        }
        if (!any) {
          lines += MakeRegistrationLine('2', folder, kEmptyFolderMarker, type_, 0);
          markers_.insert(folder);
        }
      }
    }
    ListBuffer list;
    list.text = lines;
    RemoveTypeDuplicates(&list);
    ASSERT_TRUE(test::Succeeded(SaveList(box_.fs(), 'T', "BK", type_, list)));
  }

  // Random changes at the source: files deleted, updated (same or new size), added; a
  // folder removed, a subfolder added, a folder renamed.
  void Change() {
    const int changes = Pick(1, 8);
    for (int c = 0; c < changes; ++c) {
      switch (Pick(0, 13)) {
        case 0: case 1: DeleteRandomFile(); break;
        case 2: case 3: UpdateRandomFile(false); break;
        case 4: UpdateRandomFile(true); break;
        case 5: case 6: AddFile(RandomExistingFolder(), true); break;
        case 7: RemoveRandomFolder(false); break;
        case 8: AddSubfolder(); break;
        case 9: RemoveRandomFolder(true); break;
        case 10: MoveRandomFolder(); break;
        case 11: MoveRandomFile(); break;
        case 12: if (WithSubfolders()) LeaveOutRandomFolder(); break;
        case 13: if (WithSubfolders()) BringBackRandomFolder(); break;
      }
    }
  }

  enum class FaultKind { None, CopyBreaksOff, SourceDriveAbsent, SourceDriveVanishes };

  // One pass of the engine, with or without a fault, and the checks after it.
  void Pass(FaultKind fault) {
    if (fault == FaultKind::CopyBreaksOff) {
      Fault f;
      f.op = FsOp::Write;
      f.path_contains = "T:\\BK";
      f.after_bytes = static_cast<std::uint64_t>(Pick(0, 60));
      f.times = 1;
      faulty_.Add(f);
    } else if (fault == FaultKind::SourceDriveAbsent) {
      faulty_.RemoveDrive('S');
    } else if (fault == FaultKind::SourceDriveVanishes) {
      // A loose contact: the drive goes after a few folders were listed.
      faulty_.RemoveDriveAfterListings('S', Pick(0, 12));
    }

    if (std::getenv("BK_MODEL_VERBOSE")) {
      std::string text;
      (void)ReadWholeFile(box_.fs(), ListFileName('T', "BK", type_), &text);
      std::size_t files = 0;
      ForEachLine(text, [&](std::string_view line, std::size_t) { files += IsFileLine(line) && !excluded_.count(std::string(SplitLine(line).folder)); });
      std::printf("pass: gone %zu, model registered %zu, list file lines %zu\n", gone_this_round_, RegisteredFileCount(), files);
      if (std::getenv("BK_MODEL_LIST")) std::printf("%s", text.c_str());
    }
    RunContext ctx{faulty_, report_, hooks_, flags_, settings_};
    report_.Begin();
    RunBackup(ctx, {SyncTarget{'T', "BK"}});
    report_.Close();
    faulty_.Clear();
    if (std::getenv("BK_MODEL_VERBOSE") && box_.Exists(kErrorReportPath))
      std::printf("report after a pass (fault %d):\n%s", static_cast<int>(fault), box_.Read(kErrorReportPath).c_str());

    // A pass cut short may have registered a kept copy's path again (a walk that got as far
    // as it): the list says whether it did; from then on that copy is the registration's.
    if (fault != FaultKind::None && !frozen_.empty()) {
      std::string text;
      (void)ReadWholeFile(box_.fs(), ListFileName('T', "BK", type_), &text);
      std::set<std::string> named;
      ForEachLine(text, [&](std::string_view line, std::size_t) {
        const LineParts p = SplitLine(line);
        if (IsFileLine(line) && p.well_formed) named.insert(std::string(p.folder) + "\\" + std::string(p.name));
      });
      for (auto it = frozen_.begin(); it != frozen_.end();) it = named.count(it->first) ? frozen_.erase(it) : std::next(it);
    }
    if (fault == FaultKind::SourceDriveAbsent || fault == FaultKind::SourceDriveVanishes) {
      // Nothing at all may have gone; what the pass did before the drive went is done
      // again, or found done, by the next one. A file copied before the drive went is
      // held in its new version.
      // (A mirror may rightly have deleted the copy of a file really gone, if the drive
      // still answered when the deletions were carried out.)
      for (auto it = held_.begin(); it != held_.end();) {
        const auto src = source_.find(it->first);
        if (src == source_.end() && Mirror() && fault == FaultKind::SourceDriveVanishes &&
            !box_.Exists(DestinationOf(it->first))) {
          it = held_.erase(it);
          continue;
        }
        if (src != source_.end()) it->second.insert(src->second.content);
        ExpectHeld(it->first, it->second);
        ++it;
      }
      if (!Mirror()) {
        // Copies made before the drive went stay in a differential backup for good.
        for (const auto& [path, file] : source_)
          if (box_.Exists(DestinationOf(path)) && box_.Read(DestinationOf(path)) == file.content) {
            destination_[path] = file;
            held_[path] = {file.content};
          }
      }
      return;
    }
    Advance();
    if (fault == FaultKind::CopyBreaksOff) {
      // What the model still holds is there, as an earlier or the new copy.
      for (auto it = held_.begin(); it != held_.end();) {
        const auto now = destination_.find(it->first);
        if (now == destination_.end()) {
          it = held_.erase(it);  // a mirror rightly deleted it
          continue;
        }
        it->second.insert(now->second.content);
        ExpectHeld(it->first, it->second);
        ++it;
      }
      if (!Mirror()) {
        // What a differential backup keeps is what was copied: a copy that broke off
        // leaves the earlier version, or none, until the file is copied again.
        for (auto it = destination_.begin(); it != destination_.end();) {
          const std::string dest = DestinationOf(it->first);
          if (!box_.Exists(dest)) {
            it = destination_.erase(it);
            continue;
          }
          it->second = {box_.Read(dest), TimeOf(dest)};
          ++it;
        }
      }
      return;
    }
    ExpectDestinationMatches();
    ExpectListMatches();
    ExpectReportEmpty();
    held_.clear();
    for (const auto& [path, file] : destination_) held_[path] = {file.content};
  }

 private:
  int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }

  static std::string FolderName(int i) {
    // Plain names, names with spaces, and Japanese names whose second byte is a backslash.
    static const char* const kNames[] = {"docs", "写真", "データ表", "ソフト", "a b", "能力", "x", "2026",
                                         "表", "yy", "c", "ソース", "z", "予定表", "q", "w"};
    return kNames[i % 16] + (i >= 16 ? std::to_string(i) : std::string());
  }
  std::string NewFileName() {
    static const char* const kStems[] = {"a", "表", "ソフト", "note", "x y", "能", "b.c", "data"};
    static const char* const kExts[] = {".txt", ".dat", "", ".doc"};
    return std::string(kStems[Pick(0, 7)]) + std::to_string(next_name_++) + kExts[Pick(0, 3)];
  }
  FileTime NextTime() { return kT0 + (++clock_ticks_) * 3 * kSecond; }
  std::string NewContent() {
    std::string s(static_cast<std::size_t>(Pick(0, 120)), ' ');
    for (char& ch : s) ch = static_cast<char>('a' + Pick(0, 25));
    return s;
  }

  static std::string FolderOf(const std::string& path) { return path.substr(0, sjis::LastSeparator(path)); }
  static std::string NameOf(const std::string& path) { return path.substr(sjis::LastSeparator(path) + 1); }
  static std::string DestinationOf(const std::string& source_path) { return "T:\\BK" + source_path.substr(2); }
  static bool IsBelow(const std::string& path, const std::string& folder) {
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '\\';
  }

  std::vector<std::string> FilesIn(const std::string& folder) const {
    std::vector<std::string> out;
    for (const auto& [path, file] : source_)
      if (FolderOf(path) == folder) out.push_back(path);
    return out;
  }
  void WriteSource(const std::string& path, const SourceFile& file) {
    box_.Write(path, file.content);
    ASSERT_TRUE(test::Succeeded(box_.fs().SetLastWriteTime(path, file.time))) << path;
  }
  void AddFile(const std::string& folder, bool write = false) {
    if (folder.empty()) return;
    const std::string path = folder + "\\" + NewFileName();
    source_[path] = {NewContent(), NextTime()};
    if (write) WriteSource(path, source_[path]);
  }
  std::string RandomExistingFolder() {
    if (folders_.empty()) return {};
    auto it = folders_.begin();
    std::advance(it, Pick(0, static_cast<int>(folders_.size()) - 1));
    return *it;
  }
  std::string RandomFile() {
    if (source_.empty()) return {};
    auto it = source_.begin();
    std::advance(it, Pick(0, static_cast<int>(source_.size()) - 1));
    return it->first;
  }
  void DeleteRandomFile() {
    const std::string path = RandomFile();
    if (path.empty()) return;
    if (IsRegisteredFile(path)) {
      if (WouldLookLikeASwappedDisk(1)) return;
      ++gone_this_round_;
    }
    ASSERT_TRUE(test::Succeeded(box_.fs().DeleteFile(path))) << path;
    if (std::getenv("BK_MODEL_VERBOSE")) std::printf("delete %s\n", path.c_str());
    source_.erase(path);
  }
  void UpdateRandomFile(bool same_size) {
    const std::string path = RandomFile();
    if (path.empty()) return;
    SourceFile& file = source_[path];
    std::string content = NewContent();
    if (same_size) {
      content.resize(file.content.size(), 'u');
      if (!content.empty()) content[0] = static_cast<char>(content[0] == 'u' ? 'v' : 'u');
    }
    file = {content, NextTime()};
    WriteSource(path, file);
  }
  // Removes (or renames, which at the source is the same loss) a folder below the top one,
  // with its subfolders. A loss that would take most registered files at once is left out:
  // the engine rightly keeps the backup then, as for a disk swapped under the same letter.
  void RemoveRandomFolder(bool rename) {
    std::vector<std::string> candidates;
    for (const std::string& f : folders_)
      if (f != "S:\\m") candidates.push_back(f);
    if (candidates.empty()) return;
    const std::string folder = candidates[static_cast<std::size_t>(Pick(0, static_cast<int>(candidates.size()) - 1))];
    std::size_t lost = 0;
    for (const auto& [path, file] : source_)
      if ((FolderOf(path) == folder || IsBelow(path, folder)) && IsRegisteredFile(path)) ++lost;
    if (WouldLookLikeASwappedDisk(lost)) return;
    gone_this_round_ += lost;

    std::vector<std::pair<std::string, SourceFile>> moved;
    for (auto it = source_.begin(); it != source_.end();) {
      if (FolderOf(it->first) == folder || IsBelow(it->first, folder)) {
        moved.emplace_back(it->first, it->second);
        it = source_.erase(it);
      } else {
        ++it;
      }
    }
    std::vector<std::string> moved_folders;
    for (auto it = folders_.begin(); it != folders_.end();) {
      if (*it == folder || IsBelow(*it, folder)) {
        moved_folders.push_back(*it);
        it = folders_.erase(it);
      } else {
        ++it;
      }
    }
    ASSERT_TRUE(test::Succeeded(box_.fs().DeleteTree(folder))) << folder;
    if (std::getenv("BK_MODEL_VERBOSE")) std::printf("remove folder %s (rename %d)\n", folder.c_str(), rename);
    if (rename) {
      // The same files under a new name: a new, unregistered folder.
      const std::string renamed = folder + "-" + std::to_string(next_name_++);
      for (auto& [path, file] : moved) {
        const std::string to = renamed + path.substr(folder.size());
        source_[to] = file;
        folders_.insert(FolderOf(to));
        WriteSource(to, file);
      }
      // Its subfolders come along, empty ones too.
      for (const std::string& f : moved_folders) {
        const std::string to = renamed + f.substr(folder.size());
        folders_.insert(to);
        ASSERT_TRUE(test::Succeeded(box_.fs().CreateFolderChain(to))) << to;
      }
    }
  }
  // Moves a folder below the top one into another folder (never into itself).
  void MoveRandomFolder() {
    std::vector<std::string> candidates;
    for (const std::string& f : folders_)
      if (f != "S:\\m") candidates.push_back(f);
    if (candidates.empty()) return;
    const std::string folder = candidates[static_cast<std::size_t>(Pick(0, static_cast<int>(candidates.size()) - 1))];
    std::vector<std::string> parents;
    for (const std::string& f : folders_)
      if (f != folder && !IsBelow(f, folder) && f != FolderOf(folder)) parents.push_back(f);
    if (parents.empty()) return;
    std::string parent = parents[static_cast<std::size_t>(Pick(0, static_cast<int>(parents.size()) - 1))];
    // Now and then into a folder made for it: the move arrives below a new folder.
    const bool into_new = Pick(0, 2) == 0;
    if (into_new) parent += "\\" + FolderName(Pick(0, 15)) + std::to_string(next_name_++);
    const std::string to = parent + "\\" + NameOf(folder) + "-" + std::to_string(next_name_++);
    std::size_t lost = 0;
    for (const auto& [path, file] : source_)
      if (IsBelow(path, folder) && IsRegisteredFile(path)) ++lost;
    if (WouldLookLikeASwappedDisk(lost)) return;
    if (into_new) {
      ASSERT_TRUE(test::Succeeded(box_.fs().CreateFolderChain(parent))) << parent;
      folders_.insert(parent);
    }
    ASSERT_TRUE(test::Succeeded(box_.fs().Rename(folder, to))) << folder << " -> " << to;
    if (std::getenv("BK_MODEL_VERBOSE")) std::printf("move folder %s -> %s\n", folder.c_str(), to.c_str());
    gone_this_round_ += lost;
    std::map<std::string, SourceFile> moved;
    for (auto it = source_.begin(); it != source_.end();) {
      if (IsBelow(it->first, folder)) {
        moved[to + it->first.substr(folder.size())] = it->second;
        it = source_.erase(it);
      } else {
        ++it;
      }
    }
    source_.insert(moved.begin(), moved.end());
    std::set<std::string> renamed;
    for (auto it = folders_.begin(); it != folders_.end();) {
      if (*it == folder || IsBelow(*it, folder)) {
        renamed.insert(to + it->substr(folder.size()));
        it = folders_.erase(it);
      } else {
        ++it;
      }
    }
    folders_.insert(renamed.begin(), renamed.end());
  }

  // Moves a file into another folder, or into a new one.
  void MoveRandomFile() {
    const std::string path = RandomFile();
    if (path.empty()) return;
    std::string folder = RandomExistingFolder();
    if (folder.empty() || folder == FolderOf(path)) return;
    if (Pick(0, 1) == 0) {
      folder += "\\" + FolderName(Pick(0, 15)) + std::to_string(next_name_++);
      ASSERT_TRUE(test::Succeeded(box_.fs().CreateFolderChain(folder))) << folder;
      folders_.insert(folder);
    }
    if (IsRegisteredFile(path)) {
      if (WouldLookLikeASwappedDisk(1)) return;
      ++gone_this_round_;
    }
    const std::string to = folder + "\\" + NameOf(path);
    if (source_.count(to)) return;
    ASSERT_TRUE(test::Succeeded(box_.fs().Rename(path, to))) << path << " -> " << to;
    if (std::getenv("BK_MODEL_VERBOSE")) std::printf("move file %s -> %s\n", path.c_str(), to.c_str());
    source_[to] = source_[path];
    source_.erase(path);
  }

  // The user deletes the registration of a folder and of everything below it, as the
  // list view does: the folder is left out while its parent is registered.
  void LeaveOutRandomFolder() {
    std::vector<std::string> candidates;
    for (const std::string& f : registered_folders_)
      if (f != "S:\\m" && registered_folders_.count(FolderOf(f)) && folders_.count(f)) candidates.push_back(f);
    if (candidates.empty()) return;
    const std::string folder = candidates[static_cast<std::size_t>(Pick(0, static_cast<int>(candidates.size()) - 1))];
    // Files already gone this round must stay the smaller part of what stays registered.
    std::size_t left_out = 0;
    for (const auto& [f, paths] : listed_)
      if (f == folder || IsBelow(f, folder)) left_out += paths.size();
    const std::size_t remaining = RegisteredFileCount() - left_out;
    if (gone_this_round_ >= 10 && 2 * gone_this_round_ > remaining) return;
    EditList([&](std::string_view line) {
      const std::string f(SplitLine(line).folder);
      return f != folder && !IsBelow(f, folder);
    });
    for (auto it = registered_folders_.begin(); it != registered_folders_.end();)
      it = (*it == folder || IsBelow(*it, folder)) ? registered_folders_.erase(it) : std::next(it);
    for (auto it = markers_.begin(); it != markers_.end();)
      it = (*it == folder || IsBelow(*it, folder)) ? markers_.erase(it) : std::next(it);
    for (auto it = listed_.begin(); it != listed_.end();)
      it = (it->first == folder || IsBelow(it->first, folder)) ? listed_.erase(it) : std::next(it);
    // Its copies stay as they are now, whatever the source does from here on (also copies
    // a pass cut short by a fault made, which the model did not follow).
    std::map<std::string, std::string> copies;
    if (box_.Exists(DestinationOf(folder))) Walk(DestinationOf(folder), &copies);
    for (const auto& [dest, content] : copies) frozen_["S:" + dest.substr(5)] = {content, TimeOf(dest)};
    // Exclusions below it go with its registration: nothing registered is their parent.
    for (auto it = excluded_.begin(); it != excluded_.end();) it = IsBelow(*it, folder) ? excluded_.erase(it) : std::next(it);
    excluded_.insert(folder);
    if (std::getenv("BK_MODEL_VERBOSE")) std::printf("leave out %s\n", folder.c_str());
  }

  // The user deletes an exclusion row: the folder is walked again from the next pass on.
  void BringBackRandomFolder() {
    if (excluded_.empty()) return;
    auto it = excluded_.begin();
    std::advance(it, Pick(0, static_cast<int>(excluded_.size()) - 1));
    const std::string folder = *it;
    excluded_.erase(it);
    if (std::getenv("BK_MODEL_VERBOSE")) std::printf("bring back %s\n", folder.c_str());
    EditList([&](std::string_view line) { return !(IsExclusionLine(line) && SplitLine(line).folder == folder); });
  }

  // Rewrites the stored list as a deletion in the list view does.
  template <typename Keep>
  void EditList(Keep keep) {
    std::string text;
    ASSERT_TRUE(test::Succeeded(ReadWholeFile(box_.fs(), ListFileName('T', "BK", type_), &text)));
    ListBuffer kept;
    ForEachLine(text, [&](std::string_view line, std::size_t) {
      if (keep(line)) {
        kept.text += line;
        kept.text += '\n';
      }
    });
    WalkLines(&kept);
    ExcludeDeletedFolders(text, type_, &kept);
    if (!HoldsRegistrations(kept.text)) kept.clear();
    SortLines(&kept);
    ASSERT_TRUE(test::Succeeded(SaveList(box_.fs(), 'T', "BK", type_, kept)));
  }

  bool IsExcluded(const std::string& folder) const {
    for (const std::string& e : excluded_)
      if (folder == e || IsBelow(folder, e)) return true;
    return false;
  }

  void AddSubfolder() {
    const std::string parent = RandomExistingFolder();
    if (parent.empty()) return;
    const std::string folder = parent + "\\" + FolderName(Pick(0, 15)) + std::to_string(next_name_++);
    folders_.insert(folder);
    ASSERT_TRUE(test::Succeeded(box_.fs().CreateFolderChain(folder)));
    for (int i = Pick(0, 3); i > 0; --i) AddFile(folder, true);
  }

  // Losing this many more registered files before the next pass would take most of them.
  bool WouldLookLikeASwappedDisk(std::size_t more) const {
    const std::size_t gone = gone_this_round_ + more;
    return gone >= 10 && 2 * gone > RegisteredFileCount();
  }
  bool IsRegisteredFile(const std::string& path) const {
    if (SingleFiles()) return registered_files_.count(path) > 0;
    // A registration of all subfolders may have taken in any folder a walk reached, also
    // in a pass that a fault cut short (the model does not follow those): counted as such.
    if (WithSubfolders()) return !IsExcluded(FolderOf(path));
    return registered_folders_.count(FolderOf(path)) > 0;
  }
  std::size_t RegisteredFileCount() const {
    if (SingleFiles()) return registered_files_.size();
    std::size_t n = 0;
    for (const auto& [folder, paths] : listed_) n += paths.size();
    return n;
  }

  // The model's step: what a pass without faults makes of the registration and the
  // destination, from the source as it is now.
  void Advance() {
    gone_this_round_ = 0;
    if (SingleFiles()) {
      for (auto it = registered_files_.begin(); it != registered_files_.end();) {
        const auto src = source_.find(*it);
        if (src == source_.end()) {
          it = registered_files_.erase(it);  // the line goes; the copy stays
        } else {
          destination_[*it] = src->second;
          ++it;
        }
      }
      return;
    }
    if (WithSubfolders()) {
      // Every folder below a registered folder that is still there joins the registration.
      for (const std::string& folder : folders_)
        for (std::string up = folder; !IsExcluded(folder) && !up.empty();
             up = up.find('\\') == std::string::npos ? "" : FolderOf(up))
          if (registered_folders_.count(up) && folders_.count(up)) {
            registered_folders_.insert(folder);
            break;
          }
    }
    std::map<std::string, SourceFile> mirror;
    for (auto it = registered_folders_.begin(); it != registered_folders_.end();) {
      const std::string folder = *it;
      if (!folders_.count(folder)) {
        markers_.erase(folder);
        it = registered_folders_.erase(it);
        continue;
      }
      const std::vector<std::string> files = FilesIn(folder);
      listed_[folder].clear();
      for (const std::string& path : files) {
        listed_[folder].insert(path);
        destination_[path] = source_[path];
        mirror[path] = source_[path];
      }
      if (!files.empty()) {
        markers_.erase(folder);
      } else {
        // A registered folder whose last file went stays registered by a marker, in a
        // differential backup too: files put there later are still backed up.
        markers_.insert(folder);
      }
      ++it;
    }
    for (auto it = listed_.begin(); it != listed_.end();)
      it = registered_folders_.count(it->first) ? std::next(it) : listed_.erase(it);
    // An exclusion stays while its parent is registered.
    for (auto it = excluded_.begin(); it != excluded_.end();)
      it = registered_folders_.count(FolderOf(*it)) ? std::next(it) : excluded_.erase(it);
    // A kept copy that a registration names again is that registration's; one whose
    // source went while its folder was left out stays, as no list names it.
    for (auto it = frozen_.begin(); it != frozen_.end();) {
      const auto listed = listed_.find(FolderOf(it->first));
      it = listed != listed_.end() && listed->second.count(it->first) ? frozen_.erase(it) : std::next(it);
    }
    if (Mirror()) destination_ = mirror;
    for (const auto& [path, file] : frozen_) destination_[path] = file;
  }

  // The copy of source_path is at the destination, as one of the versions it may be.
  void ExpectHeld(const std::string& source_path, const std::set<std::string>& versions) {
    const std::string dest = DestinationOf(source_path);
    ASSERT_TRUE(box_.Exists(dest)) << "lost from the backup: " << dest;
    EXPECT_TRUE(versions.count(box_.Read(dest))) << "neither an earlier nor the new copy: " << dest;
  }

  void Walk(const std::string& folder, std::map<std::string, std::string>* files) {
    std::vector<FileInfo> entries;
    ASSERT_TRUE(test::Succeeded(box_.fs().ListFolder(folder, &entries))) << folder;
    for (const FileInfo& e : entries) {
      const std::string path = folder + "\\" + e.name;
      if (e.is_directory()) {
        Walk(path, files);
      } else {
        (*files)[path] = box_.Read(path);
        EXPECT_EQ(e.size, (*files)[path].size()) << path;
      }
    }
  }

  void ExpectDestinationMatches() {
    std::map<std::string, std::string> actual;
    if (box_.Exists("T:\\BK")) Walk("T:\\BK", &actual);
    std::map<std::string, std::string> expected;
    for (const auto& [path, file] : destination_) expected[DestinationOf(path)] = file.content;
    for (const auto& [path, content] : expected) {
      const auto it = actual.find(path);
      if (it == actual.end()) {
        ADD_FAILURE() << "missing at the destination: " << path;
        continue;
      }
      EXPECT_EQ(it->second, content) << path;
      EXPECT_EQ(TimeOf(path), destination_[std::string("S:") + path.substr(5)].time) << path;
    }
    for (const auto& [path, content] : actual) {
      EXPECT_TRUE(expected.count(path)) << "at the destination but not in the model: " << path;
      if (!expected.count(path) && std::getenv("BK_MODEL_VERBOSE")) {
        for (const std::string& e : excluded_) std::printf("excluded %s\n", e.c_str());
        for (const auto& [f, file] : frozen_) std::printf("frozen %s\n", f.c_str());
        std::printf("source has it: %d, folders_ has folder: %d, registered: %d\n", (int)source_.count("S:" + path.substr(5)),
                    (int)folders_.count(FolderOf("S:" + path.substr(5))), (int)registered_folders_.count(FolderOf("S:" + path.substr(5))));
      }
    }
  }

  FileTime TimeOf(const std::string& path) {
    FileInfo info;
    EXPECT_TRUE(test::Succeeded(box_.fs().GetInfo(path, &info))) << path;
    return info.last_write;
  }

  void ExpectListMatches() {
    std::string text;
    (void)ReadWholeFile(box_.fs(), ListFileName('T', "BK", type_), &text);
    std::set<std::string> expected;
    if (SingleFiles()) {
      for (const std::string& path : registered_files_)
        expected.insert(MakeRegistrationLine('2', FolderOf(path), NameOf(path), type_, source_[path].content.size()));
    } else {
      for (const auto& [folder, paths] : listed_)
        for (const std::string& path : paths)
          expected.insert(MakeRegistrationLine('2', folder, NameOf(path), type_, source_[path].content.size()));
      for (const std::string& folder : markers_)
        expected.insert(MakeRegistrationLine('2', folder, kEmptyFolderMarker, type_, 0));
      for (const std::string& folder : excluded_) expected.insert(MakeExclusionLine(folder, type_));
    }
    std::vector<std::string> lines;
    std::set<std::string> keys;
    ForEachLine(text, [&](std::string_view line, std::size_t) {
      lines.emplace_back(std::string(line) + "\n");
      EXPECT_TRUE(SplitLine(line).well_formed) << line;
      EXPECT_TRUE(keys.insert(std::string(LineKey(line))).second) << "repeated: " << line;
    });
    for (std::size_t i = 1; i < lines.size(); ++i) EXPECT_LT(lines[i - 1], lines[i]) << "out of order";
    const std::set<std::string> actual(lines.begin(), lines.end());
    for (const std::string& line : expected) EXPECT_TRUE(actual.count(line)) << "missing from the list: " << line;
    for (const std::string& line : actual) EXPECT_TRUE(expected.count(line)) << "not in the model: " << line;
  }

  void ExpectReportEmpty() {
    if (!box_.Exists(kErrorReportPath)) return;
    const std::string text = box_.Read(kErrorReportPath);
    std::size_t lines = 0;
    ForEachLine(text, [&](std::string_view, std::size_t) { ++lines; });
    EXPECT_LE(lines, 1u) << "a pass without faults reported problems:\n" << text;
  }

 public:
  char type_;
  std::mt19937 rng_;
  Sandbox box_;
  FaultFileSystem faulty_;
  FixedClock clock_;
  ErrorReport report_;
  RecordingHooks hooks_;
  RunFlags flags_;
  RunSettings settings_;

  std::map<std::string, SourceFile> source_;       // source path -> file
  std::set<std::string> folders_;                  // source folders that exist
  std::set<std::string> registered_folders_;       // folder types
  std::set<std::string> registered_files_;         // single files
  std::map<std::string, std::set<std::string>> listed_;  // registered folder -> its listed files
  std::set<std::string> markers_;                  // registered folders held by a marker line
  std::set<std::string> excluded_;                 // folders left out (exclusion lines)
  std::map<std::string, SourceFile> frozen_;       // copies kept as they were left out
  std::map<std::string, SourceFile> destination_;  // source path -> the copy it must have
  // Copies seen at the destination by the last check, with every version each may hold
  // after passes with faults since then.
  std::map<std::string, std::set<std::string>> held_;
  std::size_t gone_this_round_ = 0;
  int next_name_ = 0;
  std::uint64_t clock_ticks_ = 0;
};

int EnvNumber(const char* name, int fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::atoi(v) : fallback;
}

class EngineModelCheck : public ::testing::TestWithParam<char> {};

TEST_P(EngineModelCheck, EveryPassMatchesTheModel) {
  const char type = GetParam();
  // Under Wine every file call is far slower: fewer runs there by default.
  const bool wine = std::string(Sandbox::AdapterName()) == "win32";
  const int runs = EnvNumber("BK_MODEL_RUNS", wine ? 2 : 8);
  const int passes = EnvNumber("BK_MODEL_PASSES", wine ? 10 : 40);
  const int only_seed = EnvNumber("BK_MODEL_SEED", 0);
  for (int r = 0; r < runs; ++r) {
    const auto seed = static_cast<std::uint32_t>(only_seed ? only_seed : 1000 * (type - '0') + r + 1);
    SCOPED_TRACE("replay with BK_MODEL_SEED=" + std::to_string(seed) + " and --gtest_filter=*ModelCheck*/" +
                 std::to_string(type - '1'));
    ModelRun run(type, seed);
    run.Build();
    ASSERT_FALSE(HasFatalFailure());
    run.Pass(ModelRun::FaultKind::None);
    for (int p = 1; p < passes && !HasFailure(); ++p) {
      if (std::getenv("BK_MODEL_VERBOSE")) std::printf("pass %d\n", p);
      SCOPED_TRACE("pass " + std::to_string(p));
      run.Change();
      ASSERT_FALSE(HasFatalFailure());
      const int dice = run.rng_() % 10;
      const auto fault = dice == 0 ? ModelRun::FaultKind::CopyBreaksOff
                         : dice == 1 ? ModelRun::FaultKind::SourceDriveAbsent
                         : dice == 2 ? ModelRun::FaultKind::SourceDriveVanishes
                                     : ModelRun::FaultKind::None;
      SCOPED_TRACE(fault == ModelRun::FaultKind::CopyBreaksOff        ? "a copy breaks off"
                   : fault == ModelRun::FaultKind::SourceDriveAbsent   ? "the source drive is absent"
                   : fault == ModelRun::FaultKind::SourceDriveVanishes ? "the source drive goes during the pass"
                                                                       : "no fault");
      run.Pass(fault);
    }
    if (only_seed || HasFailure()) break;
  }
}

INSTANTIATE_TEST_SUITE_P(AllTypes, EngineModelCheck, ::testing::Values('1', '2', '3', '4', '5'));

}  // namespace
}  // namespace bk::test

// The walk of a folder tree, one piece of code for the registration of a "全て" drop and
// for the backup run that follows such a registration into new subfolders.
//
// What every walk leaves alone, whoever walks: entries whose name begins with '.', links
// to folders (the system's hidden compatibility junctions without a word, any other link
// told once to the visitor), destination folders and everything below them (a backup must
// never back itself up), and a folder it has entered already (a loop through a link that
// does not announce itself).
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/source_path.hpp"
#include "platform/file_system.hpp"

namespace bk {

// A link to a folder (a junction or a symbolic link to a folder): never followed.
bool IsFolderLink(const FileInfo& entry);
// The system's compatibility junctions ("Application Data", "My Music") are hidden and
// system links: passed over without a report line.
bool IsSystemJunction(const FileInfo& entry);
// A cloud placeholder whose contents are not on this computer: opening it downloads it.
bool IsCloudOnly(const FileInfo& entry);

// Whether path is one of the destination folders ("D:\BK" texts) or lies below one.
bool IsInsideDestination(const std::vector<std::string>& destination_folders, std::string_view path);

class TreeWalk {
 public:
  class Visitor {
   public:
    virtual ~Visitor() = default;
    // A folder entered, with its listing or the failure to list it; called before the
    // walk goes into any of its subfolders.
    virtual void Listed(const std::string& folder, Status listed, const std::vector<FileInfo>& entries) = 0;
    // The visitor's own refusals of a subfolder the walk would enter (a path too long, a
    // folder with a registration of its own, one the user left out).
    virtual bool Admit(const std::string& /*path*/) { return true; }
    // A link to a folder that is not followed (never the system's compatibility junctions).
    virtual void LinkPassed(const std::string& /*path*/, const FileInfo& /*entry*/) {}
    // A destination folder that is not walked.
    virtual void DestinationPassed(const std::string& /*path*/) {}
    // After each entry of a listing: a progress point; false ends the walk.
    virtual bool KeepGoing() { return true; }
    // True once the walk was stopped: a subfolder admitted then is listed, not walked.
    virtual bool Stopped() { return false; }
    // True once the visitor cannot go on (a work file failed): the walk ends at once.
    virtual bool Failed() { return false; }
  };

  // destination_folders: "D:\BK" texts of every destination.
  TreeWalk(FileSystem& fs, std::vector<std::string> destination_folders);

  // Walks folder (no trailing backslash; "S:" for a drive root) and, depth first in
  // listing order, every subfolder the rules and the visitor admit.
  void Walk(const std::string& folder, Visitor& visitor);

 private:
  void WalkFolder(const std::string& folder, Visitor& visitor);
  // Whether a folder about to be entered was entered before; notes it if not. A folder
  // whose identity cannot be asked is entered (its links were judged by their attributes).
  bool EnteredBefore(const std::string& folder);

  FileSystem& fs_;
  std::vector<std::string> destinations_;
  std::set<std::pair<std::uint64_t, std::uint64_t>> entered_;
};

}  // namespace bk

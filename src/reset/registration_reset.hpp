// What initialize does once the user has agreed: forget every registration (the "*.ini"
// lists in BkList) and every destination (ToDrive.txt back to its empty default). The
// backups already made are not touched.
#pragma once

#include <string>
#include <string_view>

#include "platform/file_system.hpp"

namespace bk {

inline constexpr std::string_view kListFolder = "BkList";

// A registration list: a file (not a folder) whose name ends in ".ini", in any case.
bool IsRegistrationFile(const FileInfo& entry);

struct ResetOutcome {
  int deleted = 0;           // .ini files removed
  int skipped = 0;           // .ini files that could not be removed (kept as they were)
  Status listing;            // the listing of BkList
  Status first_skip;         // why the first skipped file stayed
  std::string first_skipped; // its path
  Status destinations;       // the rewrite of ToDrive.txt
};

// Deletes each registration list it can (a failure skips that file) and replaces
// ToDrive.txt whole with "*\n*\n*\n*\n1\n". When BkList cannot be listed nothing is
// changed: destinations emptied without their lists would find those lists again when
// registered anew.
ResetOutcome ResetRegistrations(FileSystem& fs);

// What initialize shows after the reset: the system's text and the file for each thing
// that went wrong, or "" when everything was done.
std::string ResetFailureText(FileSystem& fs, const ResetOutcome& outcome);

}  // namespace bk

// Sorting a registration list and removing lines registered twice within it.
//
// The order is the unsigned byte order of whole lines. Because a line starts with its
// state digit, lines marked '0' come first, then '1', then '2'; within a state, lines
// order by folder and within a folder by name, and the TAB that ends a folder ranks
// below every path byte, so a folder's own files come before its subfolders'.
#pragma once

#include <cstddef>

#include "common/list_buffer.hpp"

namespace bk {

// Sorts the lines of text in place (nothing to do below two lines).
void SortLines(std::string* text);
void SortLines(ListBuffer* list);

// Recounts LineCount and FolderCount and sorts the list for display.
void SortForDisplay(ListBuffer* list);

struct DuplicateRemoval {
  std::size_t removed = 0;          // lines taken out (repeats and lines already marked '0')
  std::size_t repeated_files = 0;   // repeats that are file lines: the count the user is told
  std::size_t repeated_markers = 0; // repeats that are empty-folder markers
};

// Marks '0' every line whose key from the drive's folder on (the state digit and the
// drive letter, colon and backslash are skipped) equals the line before it in sorted
// order. The text must be sorted. Returns counts of marked file and marker lines.
DuplicateRemoval MarkRepeatedLines(std::string* text);

// Removes lines marked '0' and repeated lines; keeps the list sorted and its counts current.
DuplicateRemoval RemoveTypeDuplicates(ListBuffer* list);

}  // namespace bk

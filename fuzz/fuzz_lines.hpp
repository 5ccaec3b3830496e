// Line helpers the fuzz targets share: splitting a text into lines and the part of a list
// line that decides a repeat.
#pragma once

#include <string_view>
#include <vector>

#include "common/list_buffer.hpp"

namespace fuzz {

// The lines of text, each with its LF when it has one.
inline std::vector<std::string_view> LinesWithEnds(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    end = end == std::string_view::npos ? text.size() : end + 1;
    lines.push_back(text.substr(pos, end - pos));
    pos = end;
  }
  return lines;
}

// The lines of text as the program's line reader sees them (no line ends).
inline std::vector<std::string_view> LineTexts(std::string_view text) {
  std::vector<std::string_view> lines;
  bk::ForEachLine(text, [&](std::string_view line, std::size_t) { lines.push_back(line); });
  return lines;
}

// What decides a repeat within a list: from byte 4 (after the state digit and "X:\") up to
// the second TAB, or to the end of the line (without its LF) when it has fewer TABs.
inline std::string_view ListRepeatPart(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  const std::size_t tab1 = line.find('\t');
  std::size_t end = line.size();
  if (tab1 != std::string_view::npos) {
    const std::size_t tab2 = line.find('\t', tab1 + 1);
    if (tab2 != std::string_view::npos) end = tab2;
  }
  return end > 4 ? line.substr(4, end - 4) : std::string_view{};
}

}  // namespace fuzz

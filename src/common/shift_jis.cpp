#include "common/shift_jis.hpp"

namespace bk::sjis {

namespace {
// Calls f(index, byte) for each single byte or lead byte position, skipping trail bytes.
template <typename F>
void ForEachCharStart(std::string_view text, F&& f) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (!f(i, b)) return;
    if (IsLeadByte(b)) ++i;
  }
}
}  // namespace

std::size_t LastSeparator(std::string_view path) {
  std::size_t found = std::string_view::npos;
  ForEachCharStart(path, [&](std::size_t i, unsigned char b) {
    if (b == '\\') found = i;
    return true;
  });
  return found;
}

std::size_t NextSeparator(std::string_view path, std::size_t from) {
  std::size_t found = std::string_view::npos;
  ForEachCharStart(path, [&](std::size_t i, unsigned char b) {
    if (i >= from && b == '\\') {
      found = i;
      return false;
    }
    return true;
  });
  return found;
}

std::string_view CutAtCharBoundary(std::string_view text, std::size_t max_bytes) {
  if (text.size() <= max_bytes) return text;
  std::size_t end = 0;
  ForEachCharStart(text, [&](std::size_t i, unsigned char b) {
    const std::size_t width = IsLeadByte(b) ? 2 : 1;
    if (i + width > max_bytes) return false;
    end = i + width;
    return true;
  });
  return text.substr(0, end);
}

bool EndsWithLeadByte(std::string_view text) {
  bool dangling = false;
  ForEachCharStart(text, [&](std::size_t i, unsigned char b) {
    dangling = IsLeadByte(b) && i + 1 >= text.size();
    return true;
  });
  return dangling;
}

std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  ForEachCharStart(out, [&](std::size_t i, unsigned char b) {
    if (b >= 'a' && b <= 'z') out[i] = static_cast<char>(b - 'a' + 'A');
    return true;
  });
  return out;
}

}  // namespace bk::sjis

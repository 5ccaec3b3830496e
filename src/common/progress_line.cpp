#include "common/progress_line.hpp"

#include <algorithm>

#include "platform/shift_jis.hpp"

namespace bk {

std::string ShortenedName(std::string_view name, int n) {
  const long long length = static_cast<long long>(name.size());
  if (length < n - 2) {
    // Shown whole, but never with a dangling lead byte.
    return std::string(sjis::EndsWithLeadByte(name) ? name.substr(0, name.size() - 1) : name);
  }
  std::string out;
  bool marked = false;
  for (std::size_t i = 0; i < name.size();) {
    // An escape goes whole or not at all: half of one would blank the whole line.
    const std::size_t width = sjis::IsEscapeAt(name, i)                                ? sjis::kEscapeLength
                              : sjis::IsLeadByte(static_cast<unsigned char>(name[i])) ? 2
                                                                                      : 1;
    if (i + width > name.size()) break;  // a lead byte without its second byte
    const long long start = static_cast<long long>(i);
    if (start < n - 24) {
      out.append(name.substr(i, width));
    } else {
      if (!marked) {
        out += "...";
        marked = true;
      }
      if (start + static_cast<long long>(width) > length - 19) out.append(name.substr(i, width));
    }
    i += width;
  }
  return out;
}

std::string NameLineText(std::string_view name, int n) {
  std::string text = ShortenedName(name, n);
  const long long pad = static_cast<long long>(n) - static_cast<long long>(text.size());
  if (pad > 0) text.append(static_cast<std::size_t>(pad), ' ');
  return text;
}

int BarRight(int f, int n, std::uint32_t copied_mib, std::uint32_t size_mib) {
  const int full = (n + 2) * f;
  if (size_mib == 0) return 2 * f;
  const int right = static_cast<int>(static_cast<float>(full) * static_cast<float>(copied_mib) /
                                     static_cast<float>(size_mib));
  return std::clamp(right, 2 * f, full);
}

int ClearingPenWidth(int f) { return static_cast<int>(static_cast<float>(f) * 0.58f); }
int BarPenWidth(int f) { return static_cast<int>(static_cast<float>(f) * 0.5f); }

}  // namespace bk

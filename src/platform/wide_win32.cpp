#include "platform/wide.hpp"

#include "platform/win32_api.hpp"

#include <climits>

namespace bk {

namespace {
constexpr UINT kShiftJis = 932;
}  // namespace

bool ToWide(std::string_view cp932, std::wstring* out) {
  out->clear();
  if (cp932.empty()) return true;
  if (cp932.size() > static_cast<std::size_t>(INT_MAX)) return false;
  const int in_len = static_cast<int>(cp932.size());
  const int needed = MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, cp932.data(), in_len, nullptr, 0);
  if (needed <= 0) return false;
  out->resize(static_cast<std::size_t>(needed));
  const int made = MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, cp932.data(), in_len, out->data(), needed);
  if (made <= 0) {
    out->clear();
    return false;
  }
  out->resize(static_cast<std::size_t>(made));
  return true;
}

bool FromWide(std::wstring_view wide, std::string* out) {
  out->clear();
  if (wide.empty()) return true;
  if (wide.size() > static_cast<std::size_t>(INT_MAX)) return false;
  const int in_len = static_cast<int>(wide.size());
  BOOL used_default = FALSE;
  const int needed = WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, wide.data(), in_len, nullptr, 0,
                                         "?", &used_default);
  if (needed <= 0) return false;
  out->resize(static_cast<std::size_t>(needed));
  used_default = FALSE;
  const int made = WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, wide.data(), in_len, out->data(),
                                       needed, "?", &used_default);
  if (made <= 0) {
    out->clear();
    return false;
  }
  out->resize(static_cast<std::size_t>(made));
  if (used_default) return false;
  // A name is only usable when it leads back to the same characters: a best-fit
  // substitute (U+00A5 as 0x5C, a backslash) would name another file or folder.
  std::wstring back;
  return ToWide(*out, &back) && back == wide;
}

}  // namespace bk

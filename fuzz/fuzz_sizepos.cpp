// SizePos.txt reader: any bytes give a usable character size, and every settings
// value the file can hold survives a save and a load unchanged.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "common/window_settings.hpp"
#include "fuzz_check.hpp"

namespace {

bool FitsTheFile(const bk::WindowSettings& w) {
  const int fields[] = {w.dialog_x,   w.dialog_y,   w.registration_x,   w.registration_y,
                        w.backup_x,   w.backup_y,   w.settings_x,       w.settings_y,
                        w.reference_height, w.extra_height};
  for (int f : fields)
    if (f < -9999 || f > 99999) return false;
  return w.char_size >= 1 && w.char_size <= 99;
}

void CheckRoundTrip(const bk::WindowSettings& w) {
  const std::string text = bk::FormatWindowSettings(w);
  FUZZ_CHECK(bk::ParseWindowSettings(text) == w);
  // Eleven lines, no LF after the last.
  std::size_t lfs = 0;
  for (char c : text) lfs += c == '\n';
  FUZZ_CHECK(lfs == 10 && text.back() != '\n');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const bk::WindowSettings parsed = bk::ParseWindowSettings(text);
  FUZZ_CHECK(parsed.char_size > 0);
  // The reader takes at most five characters of a line, so it cannot make a value the
  // writer cannot write back.
  FUZZ_CHECK(FitsTheFile(parsed));
  CheckRoundTrip(parsed);

  // The input's bytes as settings values, spread over the whole range the file holds.
  if (size >= 11 * sizeof(std::uint32_t)) {
    std::uint32_t raw[11];
    std::memcpy(raw, data, sizeof raw);
    bk::WindowSettings w;
    w.char_size = 1 + static_cast<int>(raw[0] % 99);
    int* fields[] = {&w.dialog_x,   &w.dialog_y,   &w.registration_x,   &w.registration_y,
                     &w.backup_x,   &w.backup_y,   &w.settings_x,       &w.settings_y,
                     &w.reference_height, &w.extra_height};
    for (std::size_t i = 0; i < 10; ++i)
      *fields[i] = -9999 + static_cast<int>(raw[i + 1] % (99999 + 9999 + 1));
    CheckRoundTrip(w);
  }
  return 0;
}

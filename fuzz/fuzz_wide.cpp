// Every name has exactly one Shift-JIS text: what the adapters produce goes through the
// system's UTF-16 and back unchanged, and so does every host name of the POSIX adapter.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.hpp"
#include "platform/posix_file_system.hpp"
#include "platform/wide.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  // Bytes -> UTF-16 -> bytes: a text that converts at all names the same characters
  // after one more round (where code page 932 has two codes for a character, the system's
  // choice is written, as the adapters write every name), and then comes back unchanged.
  std::u16string wide;
  if (bk::ToUtf16(bytes, &wide)) {
    const std::string written = bk::FromUtf16(wide);
    std::u16string again;
    FUZZ_CHECK(bk::ToUtf16(written, &again));
    FUZZ_CHECK(again == wide);
    FUZZ_CHECK(bk::FromUtf16(again) == written);
  }

  // Any UTF-16 (a name the system lists, lone surrogates included) -> bytes -> UTF-16.
  std::u16string units(size / 2, u'\0');
  for (std::size_t i = 0; i + 1 < size; i += 2) units[i / 2] = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  const std::string text = bk::FromUtf16(units);
  std::u16string back;
  FUZZ_CHECK(bk::ToUtf16(text, &back));
  FUZZ_CHECK(back == units);

  // Host name -> name -> host name (the POSIX adapter's listing, then its calls): the name
  // a host name is listed under always converts, and stands for one host name.
  const std::string name = bk::Utf8ToCp932(bytes);
  std::string host;
  FUZZ_CHECK(bk::Cp932ToUtf8(name, &host));
  FUZZ_CHECK(bk::Utf8ToCp932(host) == name);
  // A name the system can give (any UTF-16) has one host name, which lists as that name.
  std::string host_of_text;
  FUZZ_CHECK(bk::Cp932ToUtf8(text, &host_of_text));
  FUZZ_CHECK(bk::Utf8ToCp932(host_of_text) == text);
  return 0;
}

#include "common/crc32.hpp"

namespace bk {

Crc32::Crc32() {
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table_[n] = c;
  }
}

std::uint32_t Crc32::operator()(std::string_view bytes) const {
  std::uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : bytes) c = table_[(c ^ b) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

const Crc32& Crc32Table() {
  static const Crc32 table;
  return table;
}

}  // namespace bk

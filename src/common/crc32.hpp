// The reflected CRC-32 (polynomial 0xEDB88320, initial all ones, final complement).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace bk {

class Crc32 {
 public:
  Crc32();  // builds the 256-entry table once
  std::uint32_t operator()(std::string_view bytes) const;

 private:
  std::array<std::uint32_t, 256> table_{};
};

// The table built once for the whole program.
const Crc32& Crc32Table();

}  // namespace bk

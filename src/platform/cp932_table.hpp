// Code page 932 as the system converts it (see cp932_table.cpp).
#pragma once

#include <cstdint>

namespace bk::cp932 {

inline constexpr int kLeadCount = 60;    // 0x81-0x9F, 0xE0-0xFC
inline constexpr int kTrailCount = 189;  // 0x40-0xFC
inline constexpr unsigned kFirstTrail = 0x40;

// The UTF-16 unit of each double-byte character, 0 where the pair is none.
extern const std::uint16_t kDoubleByte[kLeadCount][kTrailCount];

// Row of a lead byte in kDoubleByte, or -1 for a byte that leads no character.
constexpr int LeadRow(unsigned char lead) {
  if (lead >= 0x81 && lead <= 0x9F) return lead - 0x81;
  if (lead >= 0xE0 && lead <= 0xFC) return lead - 0xE0 + 31;
  return -1;
}

constexpr unsigned char LeadOfRow(int row) {
  return static_cast<unsigned char>(row < 31 ? 0x81 + row : 0xE0 + row - 31);
}

}  // namespace bk::cp932

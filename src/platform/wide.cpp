#include "platform/wide.hpp"

#include <array>
#include <cstdint>
#include <memory>

#include "platform/shift_jis.hpp"
#include "platform/cp932_table.hpp"

namespace bk {

namespace {

// The single bytes: ASCII, 0x80, and the half-width katakana 0xA1-0xDF; 0 for none.
constexpr char16_t SingleByteUnit(unsigned char b) {
  if (b < 0x80) return b;
  if (b == 0x80) return 0x80;
  if (b >= 0xA1 && b <= 0xDF) return static_cast<char16_t>(0xFF61 + (b - 0xA1));
  return 0;
}

// Where several codes give the same character the system writes the preferred one: the
// standard rows first, then NEC's row 13, then IBM's extension, NEC's copy of it last.
int CodePreference(unsigned char lead) {
  if (lead == 0x87) return 1;
  if (lead >= 0xFA && lead <= 0xFC) return 2;
  if (lead == 0xED || lead == 0xEE) return 3;
  return 0;
}

// UTF-16 unit -> its code page 932 bytes (high byte 0 for a single byte); 0 for none.
class EncodeTable {
 public:
  EncodeTable() : codes_(std::make_unique<std::array<std::uint16_t, 0x10000>>()) {
    codes_->fill(0);
    for (unsigned b = 1; b < 0x100; ++b)
      if (const char16_t u = SingleByteUnit(static_cast<unsigned char>(b))) (*codes_)[u] = static_cast<std::uint16_t>(b);
    for (int row = 0; row < cp932::kLeadCount; ++row) {
      const unsigned char lead = cp932::LeadOfRow(row);
      for (int t = 0; t < cp932::kTrailCount; ++t) {
        const std::uint16_t u = cp932::kDoubleByte[row][t];
        if (u == 0) continue;
        const auto code = static_cast<std::uint16_t>((lead << 8) | (cp932::kFirstTrail + t));
        std::uint16_t& slot = (*codes_)[u];
        if (slot == 0 || CodePreference(lead) < CodePreference(static_cast<unsigned char>(slot >> 8))) slot = code;
      }
    }
  }
  std::uint16_t operator[](char16_t u) const { return (*codes_)[u]; }

 private:
  std::unique_ptr<std::array<std::uint16_t, 0x10000>> codes_;
};

const EncodeTable& Encoder() {
  static const EncodeTable table;
  return table;
}

// Whether a unit is written as an escape: U+0000 and U+001B (the escape byte itself) and
// every unit without a code page 932 form.
bool NeedsEscape(char16_t u) { return u == 0 || u == 0x1B || Encoder()[u] == 0; }

}  // namespace

namespace {

// The unit of the character at text[i] and its width in bytes; -1 where the bytes are no
// character: a byte that leads none, a pair the table lacks, a lead byte at the end, a NUL
// (it would end the text at the system call and name another file), a raw 0x1B, and an
// escape FromUtf16 never writes (every name has one text).
int UnitAt(std::string_view text, std::size_t i, std::size_t* width) {
  const auto b = static_cast<unsigned char>(text[i]);
  *width = 1;
  if (b == 0x1B) {
    if (!sjis::IsEscapeAt(text, i)) return -1;
    const char16_t u = sjis::EscapedUnit(text, i);
    *width = sjis::kEscapeLength;
    return NeedsEscape(u) ? u : -1;
  }
  const int row = cp932::LeadRow(b);
  char16_t u = 0;
  if (row < 0) {
    u = SingleByteUnit(b);
  } else {
    if (i + 1 >= text.size()) return -1;
    const unsigned trail = static_cast<unsigned char>(text[i + 1]);
    if (trail < cp932::kFirstTrail || trail >= cp932::kFirstTrail + cp932::kTrailCount) return -1;
    *width = 2;
    u = cp932::kDoubleByte[row][trail - cp932::kFirstTrail];
  }
  return u == 0 ? -1 : u;
}

}  // namespace

bool ToUtf16(std::string_view text, std::u16string* out) {
  out->clear();
  out->reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    std::size_t width = 1;
    const int u = UnitAt(text, i, &width);
    if (u < 0) {
      out->clear();
      return false;
    }
    out->push_back(static_cast<char16_t>(u));
    i += width;
  }
  return true;
}

std::string FromUtf16(std::u16string_view wide) {
  const EncodeTable& encoder = Encoder();
  std::string out;
  out.reserve(wide.size() * 2);
  for (const char16_t u : wide) {
    if (NeedsEscape(u)) {
      out += sjis::EscapeUnit(u);
      continue;
    }
    const std::uint16_t code = encoder[u];
    if (code > 0xFF) out.push_back(static_cast<char>(code >> 8));
    out.push_back(static_cast<char>(code & 0xFF));
  }
  return out;
}

}  // namespace bk

// The five registration types, stored as one digit in list file names and list lines.
#pragma once

#include <array>

namespace bk {

enum class RegType : char { File = '1', MirrorExcl = '2', MirrorAll = '3', DiffExcl = '4', DiffAll = '5' };

inline constexpr std::array<char, 5> kTypeDigits = {'1', '2', '3', '4', '5'};

// The digit a type is stored as.
constexpr char TypeDigit(RegType type) { return static_cast<char>(type); }

// '1'..'5'; any other byte names no type.
constexpr bool IsTypeDigit(char digit) { return digit >= TypeDigit(RegType::File) && digit <= TypeDigit(RegType::DiffAll); }

}  // namespace bk

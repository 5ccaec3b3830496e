#include "engine/run_context.hpp"

#include <cctype>

namespace bk {

std::string_view RunSettings::LabelOf(char drive) const {
  const int c = std::toupper(static_cast<unsigned char>(drive));
  if (c < 'A' || c > 'Z') return {};
  return volume_labels[static_cast<std::size_t>(c - 'A')];
}

}  // namespace bk

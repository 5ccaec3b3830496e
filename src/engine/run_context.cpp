#include "engine/run_context.hpp"

namespace bk {

std::string_view RunSettings::LabelOf(char drive) const { return bk::LabelOf(volume_labels, DriveLetter(drive)); }

}  // namespace bk

// Makes the executable's own folder the working folder, so that the relative data paths
// ("BkList\...") resolve there however the program was started (shortcut, task scheduler,
// another working folder).
#pragma once

namespace bk {

// False when the executable's path cannot be read or the folder cannot be entered.
bool EnterProgramFolder();

}  // namespace bk

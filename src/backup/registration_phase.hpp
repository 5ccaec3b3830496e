// Where a drop on the registration window stands. While it is not Idle the window takes
// no other drop, type switch, search or deletion.
#pragma once

namespace bk {

enum class RegistrationPhase : int {
  Idle = 0,          // no drop in progress
  LoadingList = 1,   // the dropped-on type's list is being loaded
  Registering = 2,   // the dropped items are being registered
  MergePending = 3,  // BkList.tmp waits for the merge
};

}  // namespace bk

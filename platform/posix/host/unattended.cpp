// A terminal has no selection mode that stops the program, and the system's
// sleep is the operator's setting here: nothing to change.
#include "platform/unattended.h"

namespace platform {

void BeginUnattendedTest() {}
void EndUnattendedTest() {}

}  // namespace platform

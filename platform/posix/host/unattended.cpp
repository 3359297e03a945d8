// A terminal has no selection mode that stops the program, and the system's
// sleep is the operator's setting here: nothing to change. A shutdown sends
// SIGTERM, which the console service already turns into a stop request.
#include "platform/unattended.h"

namespace platform {

void BeginUnattendedTest(std::uint32_t) {}
void EndUnattendedTest() {}

}  // namespace platform

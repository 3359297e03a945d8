#include "console/check_interrupt.h"

#include <string>

#include "platform/console.h"
#include "text/operator_output.h"

StopCode CheckInterrupt(RunControl& control, const CSSDStatus& status, bool readKeys) {
    // A stop request (a signal, or Ctrl+C on piped input) abandons the test
    // as any key does, and keeps doing so for the rest of it.
    const std::string request = platform::StopRequest();
    if (!request.empty()) {
        if (!control.stopRequestSaid) {
            Out() << "Interrupted" << std::endl;
            Out() << "Stop Requested: " << request << std::endl;
            control.stopRequestSaid = true;
        }
        return kAbandoned;
    }
    if (!readKeys || !platform::KeyWaiting()) return kGoOn;
    Out() << "Interrupted" << std::endl;
    const int key = platform::ReadKey();
    if (key == 'e') {
        Out() << "Finish on this round" << std::endl;
        control.finishRoundAt = static_cast<std::uint32_t>(status.AverageEraseCount);
        return kGoOn;
    }
    return kAbandoned;
}

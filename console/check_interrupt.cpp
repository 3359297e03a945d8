#include "console/check_interrupt.h"

#include <iostream>

#include "platform/console.h"

StopCode CheckInterrupt(CSSDTest& test) {
    if (!platform::KeyWaiting()) return kGoOn;
    std::cout << "Interrupted" << std::endl;
    const int key = platform::ReadKey();
    if (key == 'e') {
        std::cout << "Finish on this round" << std::endl;
        test.aecTarget = static_cast<std::uint32_t>(test.currentStatus.AverageEraseCount);
        return kGoOn;
    }
    return kAbandoned;
}

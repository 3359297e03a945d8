#include "engine/ssd_test.h"

#include <ctime>

#include "platform/clock.h"

CSSDTest::CSSDTest()
    : patternGenerator(static_cast<std::uint32_t>(std::time(nullptr))),
      counterFrequency(static_cast<double>(platform::PerformanceFrequency())) {}

CSSDTest::~CSSDTest() {
    CloseDrive(*this);
    if (resultLog.is_open()) resultLog.close();
}

#include "engine/test_context.h"

#include <ctime>

#include "engine/drive_open.h"
#include "engine/guarded_drives.h"
#include "platform/clock.h"

CSSDTest::CSSDTest() {
    driveSource = &GuardedSystemDrives();
    patternGenerator.seed(static_cast<std::uint32_t>(std::time(nullptr)));
    counterFrequency = static_cast<double>(platform::PerformanceFrequency());
}

CSSDTest::~CSSDTest() {
    CloseDrive(*this);
    if (resultLog.is_open()) resultLog.close();
}

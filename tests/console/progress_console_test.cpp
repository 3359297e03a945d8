// The progress line kept in place below the operator's messages.
#include "console/progress_console.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(ProgressConsole, AMessageClearsTheLineAndAShorterLineCoversTheLongerOne) {
    std::ostringstream screen;
    {
        ProgressConsole progress(screen);
        progress.Draw("Round 1: 5.0%");
        screen << "RBER: 0" << std::endl;
        progress.Draw("Round 2: 10.0%");
        progress.Draw("Round 2: 9%");
    }
    EXPECT_EQ(screen.str(),
              "\rRound 1: 5.0%\r             \rRBER: 0\n\rRound 2: 10.0%\rRound 2: 9%   "
              "\r              \r");
}

}  // namespace

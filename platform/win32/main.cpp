// Entry of the Windows console program: a wide-character entry point that
// ignores its arguments and always ends with exit code 0.
#include "console/console_main.h"

int wmain() {
    ConsoleMain();
    return 0;
}

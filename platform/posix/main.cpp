#include "console/console_main.h"

int main() { return ConsoleMain(); }

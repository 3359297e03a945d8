#include <string>
#include <vector>

#include "console/console_main.h"

int main(int argc, char** argv) { return ConsoleMain(std::vector<std::string>(argv, argv + argc)); }

// The lab executable: the tester over simulated drives. Its own options
// (--lab-age HOURS --lab-celsius T) age the bench's drives before the tester
// runs; the tester never sees them, and the real tools do not have them.
#include <iostream>
#include <string>
#include <vector>

#include "console/console_main.h"
#include "platform/lab/lab_ageing.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    if (args.size() <= 1) return ConsoleMain(args);  // the dialogue, as in every tester
    const std::string program = args.front();
    std::vector<std::string> options(args.begin() + 1, args.end());
    platform::lab::LabOptions lab;
    std::string error;
    if (!platform::lab::TakeLabOptions(&options, &lab, &error)) {
        std::cerr << program << ": " << error << "\n";
        return 2;
    }
    if (lab.age) {
        std::string report;
        if (!platform::lab::AgeDrives(lab, &report, &error)) {
            std::cerr << program << ": " << error << "\n";
            return 1;
        }
        std::cout << report << std::flush;
        // Ageing alone (at most naming the drive) runs no test.
        if (options.empty() || (!lab.anyDrive && options.size() == 2 && options[0] == "--drive"))
            return 0;
    }
    options.insert(options.begin(), program);
    return ConsoleMain(options);
}

// The program's entry: the dialogue (drive menu, the operator's three
// answers, the run and the final key wait) or a command line run.
#pragma once

#include <string>
#include <vector>

/// Runs the whole dialogue and the test; always returns 0.
int ConsoleMain();

/// The program's arguments, the program's name first: without options runs
/// the dialogue (exit code 0); with options parses them and returns the exit
/// code of the command line run (2 for bad options, after a one-line error
/// and the usage on the error stream).
int ConsoleMain(const std::vector<std::string>& argv);

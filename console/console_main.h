// The program's entry: the drive menu, the operator's three answers, the run
// and the final key wait.
#pragma once

/// Runs the whole dialogue and the test; always returns 0.
int ConsoleMain();

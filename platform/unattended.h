// Unattended-run service: what keeps a long test going without the operator.
#pragma once

namespace platform {

/// Called when a test starts: keeps the machine from sleeping while the test
/// runs and keeps a stray click from freezing the console's output. Never fails;
/// what cannot be set is left as it was.
void BeginUnattendedTest();

/// Called when the test ends, on every path: restores what BeginUnattendedTest
/// changed. Safe without a matching begin.
void EndUnattendedTest();

}  // namespace platform

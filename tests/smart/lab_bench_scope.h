// Moved to tests/support; kept so existing includes go on working.
#pragma once

#include "tests/support/lab_bench_scope.h"

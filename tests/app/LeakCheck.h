#pragma once

// Shell environment for the program under test: leaks fail the run; the suppressions name only
// the GL driver, which is unloaded at exit with its allocations.
#define LOOM_LEAK_CHECK                                                                                                \
    "ASAN_OPTIONS=detect_leaks=1:intercept_tls_get_addr=0 LSAN_OPTIONS=suppressions='" LOOM_LEAK_SUPPRESSIONS "' "

#pragma once

#include <ctime>

#include "support/scoped_env.hpp"

namespace vardex::testing {

// Runs a test in a given time zone (a POSIX TZ text, so no zone files are needed) and puts
// the old one back.
class ScopedZone {
public:
    explicit ScopedZone(const char* zone) : env_("TZ", zone) { ::tzset(); }

private:
    // Members go in reverse order: TZ is restored first, then read again.
    struct Reread {
        ~Reread() { ::tzset(); }
    } reread_;
    ScopedEnv env_;
};

}  // namespace vardex::testing

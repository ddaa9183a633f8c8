#pragma once

namespace vardex {

// The harness that lets a script drive the app through a command file. The store only says when
// to look: once a second, from tick.
class Automation {
public:
    virtual ~Automation() = default;
    virtual void poll() = 0;
};

}  // namespace vardex

#pragma once

#include <filesystem>
#include <optional>

#include "bridge/doctor_report.hpp"

namespace vardex::engine {

// The engine's account of its own health ("doctor --json"): this program, the user's policy,
// the activity log, the daemon and every engine hook found in the agents' files. `program` is
// the running engine, when the system says where it lies.
DoctorReport healthReport(const std::optional<std::filesystem::path>& program);

}  // namespace vardex::engine

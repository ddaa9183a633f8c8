#pragma once

// The running daemon's own record in the support folder: its process id, the app whose
// answers it counts ("app_executable", null when none was named) and whether it counts
// automation. Written whole when the daemon starts; read by `doctor`.
namespace vardex::engine {

inline constexpr const char* daemonRecordFileName = "daemon.json";

}  // namespace vardex::engine

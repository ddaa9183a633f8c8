#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "bridge/vardex_paths.hpp"
#include "service/daemon_socket.hpp"
#include "service/protection_error.hpp"
#include "support/case_name.hpp"
#include "support/temp_home.hpp"

namespace vardex::testing {

// A daemon in Python that binds VARDEX_SOCK and answers each ping with a ping. It never
// deletes a socket file it finds: it retries the bind, so only the app clearing a stale file
// lets it start. It notes its pid first, so a test can tell it was collected after a stop.
inline std::string pythonDaemon(const std::filesystem::path& pidFile) {
    return "echo $$ > '" + pidFile.string() + "'\n" + R"(exec python3 -c '
import os, socket, time
os.makedirs(os.path.dirname(os.environ["VARDEX_SOCK"]), mode=0o700, exist_ok=True)
server = socket.socket(socket.AF_UNIX)
while True:
    try: server.bind(os.environ["VARDEX_SOCK"]); break
    except OSError: time.sleep(0.02)
server.listen(4)
while True:
    connection, _ = server.accept()
    stream = connection.makefile("rwb")
    for line in stream:
        if b"\"type\":\"ping\"" in line.replace(b" ", b""): stream.write(b"{\"type\":\"ping\"}\n"); stream.flush()
    connection.close()
')";
}

// Short waits, so a daemon that never answers fails a test in a fraction of a second.
inline ServiceTimeouts quickTimeouts() {
    return {std::chrono::milliseconds(200), std::chrono::milliseconds(600), std::chrono::milliseconds(300),
            std::chrono::milliseconds(20)};
}

// Waits long enough for a real daemon on a busy machine; a wait that succeeds ends early.
inline ServiceTimeouts patientTimeouts() {
    return {std::chrono::milliseconds(400), std::chrono::seconds(10), std::chrono::seconds(10),
            std::chrono::milliseconds(20)};
}

// A temporary HOME with an engine script found through VARDEX_BIN, and a log the fake
// service managers append their arguments to, one call per line.
class ServiceHome {
public:
    explicit ServiceHome(std::string_view engineBody = "exit 0") {
        engine = writeScript(home / "bin/vardex", engineBody);
        useEngine.emplace("VARDEX_BIN", engine.string());
    }

    // A service manager that logs "$*", notes whether the socket file is there when asked
    // to bootstrap or restart, then runs `body` (a case on "$1").
    std::filesystem::path serviceManager(std::string_view name, std::string_view body) {
        return writeScript(home / std::string(name),
                           "echo \"$*\" >> '" + callLog().string() + "'\n" +
                               "case \" $* \" in *' bootstrap '*|*' restart '*) [ -e \"$VARDEX_SOCK\" ] && echo 'socket present' >> '" +
                               callLog().string() + "';; esac\n" + std::string(body) + "\nexit 0");
    }

    std::vector<std::string> calls() const { return readLines(callLog()); }

    std::filesystem::path callLog() const { return home / "calls"; }
    std::string socket() const { return VardexPaths::socketPath(); }

    TempHome home;
    std::filesystem::path engine;

private:
    std::optional<ScopedEnv> useEngine;
    ScopedEnv path{"PATH", "/usr/bin:/bin"};
};

// Success when no error is expected, else exactly that error.
inline void expectOutcome(const Result<void, ServiceError>& outcome, const std::optional<ProtectionError>& error) {
    if (error) {
        ASSERT_FALSE(outcome.ok());
        EXPECT_EQ(outcome.error(), ServiceError(*error));
    } else {
        EXPECT_TRUE(outcome.ok()) << outcome.error().description();
    }
}

}  // namespace vardex::testing

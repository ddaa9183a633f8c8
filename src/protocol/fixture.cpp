#include "protocol/fixture.hpp"

#include "protocol/protocol_json.hpp"

namespace vardex {

std::optional<FixtureKind> fixtureKind(std::string_view fileName) {
    static constexpr std::pair<std::string_view, FixtureKind> prefixes[] = {
        {"action_", FixtureKind::action},
        {"decision_", FixtureKind::decision},
        {"approval_request_", FixtureKind::approvalRequest},
        {"approval_response_", FixtureKind::approvalResponse},
        {"ipc_", FixtureKind::ipc},
    };
    for (const auto& [prefix, kind] : prefixes) {
        if (fileName.starts_with(prefix)) return kind;
    }
    return std::nullopt;
}

namespace {

template <class T>
Result<void, WireError> check(std::string_view data) {
    auto decoded = ProtocolJSON::decode<T>(data);
    if (!decoded) return fail(decoded.error());
    return {};
}

}  // namespace

Result<void, WireError> decodeFixture(std::string_view fileName, std::string_view data) {
    auto kind = fixtureKind(fileName);
    if (!kind) return fail(WireError(SocketClientError::unknownFixture(std::string(fileName))));
    switch (*kind) {
        case FixtureKind::action: return check<Action>(data);
        case FixtureKind::decision: return check<Decision>(data);
        case FixtureKind::approvalRequest: return check<ApprovalRequest>(data);
        case FixtureKind::approvalResponse: return check<ApprovalResponse>(data);
        case FixtureKind::ipc: return check<IpcMessage>(data);
    }
    return {};
}

}  // namespace vardex

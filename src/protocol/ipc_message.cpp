#include "protocol/ipc_message.hpp"

namespace vardex {

std::string_view IpcMessage::typeName() const {
    static constexpr std::string_view names[] = {"hello",     "approval_request", "approval_response",
                                                 "event",     "subscribe",        "ping",
                                                 "notice"};
    static_assert(std::size(names) == std::variant_size_v<Payload>);
    return names[payload.index()];
}

std::optional<ApprovalRequest> IpcMessage::asRequest() const {
    if (const auto* request = std::get_if<ApprovalRequest>(&payload)) return *request;
    return std::nullopt;
}

std::optional<ApprovalResponse> IpcMessage::asResponse() const {
    if (const auto* response = std::get_if<ApprovalResponse>(&payload)) return *response;
    return std::nullopt;
}

}  // namespace vardex

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "protocol/approval.hpp"
#include "protocol/wire_enum.hpp"

namespace vardex {

inline constexpr std::int64_t protocolVersion = 1;

enum class IpcRole { client, ui };

template <>
struct WireNames<IpcRole> {
    static constexpr std::array<std::pair<IpcRole, std::string_view>, 2> table{{
        {IpcRole::client, "client"}, {IpcRole::ui, "ui"}}};
};

// One message on the daemon socket; its "type" member names the case.
struct IpcMessage {
    struct Hello {
        IpcRole role = IpcRole::client;
        std::int64_t version = protocolVersion;
        friend bool operator==(const Hello&, const Hello&) = default;
    };
    struct Event {
        DecisionEvent decision;
        friend bool operator==(const Event&, const Event&) = default;
    };
    struct Subscribe {
        friend bool operator==(const Subscribe&, const Subscribe&) = default;
    };
    struct Ping {
        friend bool operator==(const Ping&, const Ping&) = default;
    };
    // Something the daemon wants the person to know about itself, in its own words.
    struct Notice {
        std::string text;
        friend bool operator==(const Notice&, const Notice&) = default;
    };

    using Payload = std::variant<Hello, ApprovalRequest, ApprovalResponse, Event, Subscribe, Ping, Notice>;
    Payload payload;

    static IpcMessage hello(IpcRole role) { return {Hello{role, protocolVersion}}; }
    static IpcMessage approvalRequest(ApprovalRequest r) { return {std::move(r)}; }
    static IpcMessage approvalResponse(ApprovalResponse r) { return {std::move(r)}; }
    static IpcMessage event(DecisionEvent d) { return {Event{std::move(d)}}; }
    static IpcMessage subscribe() { return {Subscribe{}}; }
    static IpcMessage ping() { return {Ping{}}; }
    static IpcMessage notice(std::string text) { return {Notice{std::move(text)}}; }

    // The wire text of "type": "hello", "approval_request", "approval_response", "event",
    // "subscribe", "ping" or "notice".
    std::string_view typeName() const;

    std::optional<ApprovalRequest> asRequest() const;
    std::optional<ApprovalResponse> asResponse() const;
    template <class T>
    bool is() const { return std::holds_alternative<T>(payload); }

    friend bool operator==(const IpcMessage&, const IpcMessage&) = default;
};

}  // namespace vardex

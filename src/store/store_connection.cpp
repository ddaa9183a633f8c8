#include <algorithm>
#include <chrono>

#include "activity/notification_content.hpp"
#include "bridge/vardex_paths.hpp"
#include "store/vardex_store.hpp"

namespace vardex {

namespace {

// Fixed: the waiting time in the user's policy is the engine's business, not this one.
constexpr std::chrono::seconds askLifetime{30};

bool removeAsksWithId(std::vector<PendingAsk>& pending, const std::string& id) {
    return std::erase_if(pending, [&](const PendingAsk& ask) { return ask.request.id == id; }) > 0;
}

// The engine reports a decision for a session: a question of that session, about the same
// action when the report names one, is settled, but only once its own time is up. A question
// still within its time stays open, so a decision on some other action of the same session
// cannot take it from the user.
void removeAsksSettledBy(std::vector<PendingAsk>& pending, const DecisionEvent& event, TimePoint now) {
    std::erase_if(pending, [&](const PendingAsk& ask) {
        return ask.request.agent.sessionId == event.session &&
               (!event.actionSummary || *event.actionSummary == ask.request.actionSummary) && ask.deadline < now;
    });
}

}  // namespace

void VardexStore::connectLoop() {
    if (connection_) return;
    const std::weak_ptr<VardexStore> weak = weak_from_this();
    ConnectionWorker::Effects effects{
        [weak](std::shared_ptr<JsonLinesClient> connectedClient) {
            if (const auto store = weak.lock()) store->noteConnected(std::move(connectedClient));
        },
        [weak](const IpcMessage& message) {
            if (const auto store = weak.lock()) store->handle(message);
        },
        [weak] {
            if (const auto store = weak.lock()) store->noteDisconnected();
        },
        [weak](std::string why) {
            if (const auto store = weak.lock()) store->noteUntrusted(std::move(why));
        },
    };
    // The daemon is the engine this app runs; without one found, no listener is believed.
    std::vector<std::filesystem::path> daemons;
    if (options_.trustedDaemons) {
        daemons = *options_.trustedDaemons;
    } else if (auto engine = VardexPaths::vardexBinary()) {
        daemons.push_back(*engine);
    }
    connection_ = std::make_unique<ConnectionWorker>(VardexPaths::socketPath(), std::move(daemons), ports_.queue, running,
                                                     std::move(effects));
}

void VardexStore::noteConnected(std::shared_ptr<JsonLinesClient> connectedClient) {
    client = std::move(connectedClient);
    connected = true;
    daemonUntrusted.reset();
    publish();
}

void VardexStore::noteDisconnected() {
    // A daemon that ended on its own is started again, as a service manager would.
    inBackground(WorkPriority::utility, [](std::weak_ptr<VardexStore> weak) {
        // As in `startProtection`: the store is let go on the main thread, never on this one.
        auto store = weak.lock();
        if (!store) return;
        store->service_->keepAlive();
        auto& queue = store->ports_.queue;
        queue.post([store = std::move(store)] {});
    });
    // A daemon that is down is retried every second; only the first failure changes anything.
    if (!connected && !client) return;
    client.reset();
    connected = false;
    publish();
}

void VardexStore::noteUntrusted(std::string why) {
    daemonUntrusted = "Not connected to Vardex: at " + why + ", so Vardex Bar does not talk to it.";
    publish();
}

void VardexStore::handle(const IpcMessage& message) {
    if (const auto* said = std::get_if<IpcMessage::Notice>(&message.payload)) {
        daemonNotice = said->text;
        return publish();
    }
    if (const auto* request = std::get_if<ApprovalRequest>(&message.payload)) {
        askUser(*request);
    } else if (const auto* response = std::get_if<ApprovalResponse>(&message.payload)) {
        // Answered by another party: the daemon already has its verdict and records it itself.
        if (removeAsksWithId(pending, response->id)) publish();
    } else if (const auto* event = std::get_if<IpcMessage::Event>(&message.payload)) {
        insertFeed(event->decision);
        removeAsksSettledBy(pending, event->decision, ports_.queue.now());
        publish();
    } else if (message.is<IpcMessage::Ping>()) {
        // A failed reply shows up as a failed read soon enough, and the worker reconnects.
        if (client) (void)client->send(IpcMessage::ping());
    }
}

void VardexStore::askUser(const ApprovalRequest& request) {
    if (isPaused()) {
        respond(request, ApprovalVerdict::deny, options_.approver);
        return;
    }
    const auto sameId = [&](const PendingAsk& ask) { return ask.request.id == request.id; };
    if (std::any_of(pending.begin(), pending.end(), sameId)) return;
    // The screens count down from `now`; taken afresh so a new question shows its whole
    // waiting time rather than a second more (the last tick may be up to a second old).
    now = ports_.queue.now();
    pending.push_back({request, now + askLifetime});
    ports_.notifier.post(VardexNotifications::ask(request));
    noticedAsks_.insert(request.id);
    publish();
}

void VardexStore::withdrawNoticesOfSettledAsks() {
    std::erase_if(noticedAsks_, [&](const std::string& id) {
        const bool waiting = std::any_of(pending.begin(), pending.end(), [&](const PendingAsk& ask) { return ask.request.id == id; });
        if (!waiting) ports_.notifier.withdraw(VardexNotifications::askIdentifier(id));
        return !waiting;
    });
}

void VardexStore::answer(const ApprovalRequest& request, ApprovalVerdict verdict) {
    // The request may live inside `pending` (the screens pass the waiting entry itself), so it
    // is copied before the entry goes.
    const ApprovalRequest answered = request;
    removeAsksWithId(pending, answered.id);
    respond(answered, verdict, options_.approver);
}

void VardexStore::respond(const ApprovalRequest& request, ApprovalVerdict verdict, const std::string& by) {
    if (client) {
        if (auto sent = client->respond(request.id, verdict, by); !sent) {
            logEvent("respond_failed", {{"id", request.id}, {"error", sent.error().description()}});
        }
    }
    insertFeed(DecisionEvent::fromApproval(request, verdict));
    logEvent("decision", {{"id", request.id},
                          {"verdict", std::string(wireText(verdict))},
                          {"by", by},
                          {"agent", std::string(wireText(request.agent.agent))}});
    publish();
}

void VardexStore::openApprovalWindow() { ports_.windows.openApprovalWindow(); }

}  // namespace vardex

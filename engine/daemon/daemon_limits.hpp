#pragma once

#include <chrono>
#include <cstddef>

namespace vardex::engine {

// What one daemon holds at most, and each peer's share of it; beyond a share the daemon refuses
// (an agent hears "deny") rather than growing or letting one peer crowd out the others.
//
// A peer is one process, as the kernel names the one that connected (its user and process id).
// Every hook call is a process of its own, so a share per process leaves the other hooks their
// answers when one process floods the daemon. The recorded app is not held to a peer's share.
struct DaemonLimits {
    // Connections over all peers: far more than the hooks of several agents waiting at once, few
    // enough that the daemon never runs out of descriptors under the usual limit of 1024.
    std::size_t connections = 64;
    // One process's connections: a hook uses one, an MCP proxy one per tool call it has in flight.
    // Eight processes would be needed to take every place, and a new peer then takes one back.
    std::size_t connectionsPerPeer = 8;

    // Bytes held over all connections, unread lines and unsent answers; what the app has still to
    // read is bounded on its own (`outputBytes`) so nobody else's bytes can cut the app off.
    std::size_t bufferedBytes = 16 * 1024 * 1024;
    // One process's part of those: one line of the longest size with room to spare.
    std::size_t bufferedBytesPerPeer = 2 * 1024 * 1024;
    // The longest line the daemon reads; the largest action any agent sends is far smaller.
    std::size_t lineBytes = 1024 * 1024;
    // Waiting for one slow reader; a reader this far behind has stopped reading.
    std::size_t outputBytes = 8 * 1024 * 1024;
    // Beyond this much waiting for the app, decisions it would hear of are left out for it (they
    // are in the activity log, which it reads); questions and answers still go, up to
    // `outputBytes`.
    std::size_t uiEventBacklogBytes = 1024 * 1024;

    // A connection that has sent no whole line for this long is closed, and so is one that
    // stopped in the middle of a line: a hook writes its line at once. A connection waiting for
    // an answer is not idle, and the app's own connections may stay silent.
    std::chrono::milliseconds idle{10'000};

    // Open questions over all peers: each is a row in the app and a notice on the desktop, and a
    // person weighs a handful at a time, not hundreds.
    std::size_t openQuestions = 32;
    // One process's open questions: a hook asks one; an MCP proxy one per tool call in flight.
    std::size_t openQuestionsPerPeer = 4;
    // Questions put to the user: a burst of this many, then one more per interval. Past it a
    // question is denied at once, never let through, so a flood cannot turn into notices.
    std::size_t questionBurst = 10;
    std::chrono::milliseconds questionInterval{3'000};
    // The same for one process, so a flood from one leaves the user's attention to the others.
    std::size_t questionBurstPerPeer = 4;
    std::chrono::milliseconds questionIntervalPerPeer{10'000};

    // How long accepting pauses when the process has no descriptor left.
    std::chrono::milliseconds acceptBackoff{500};
    // Decisions waiting for the activity log's lock; beyond them new actions are denied.
    std::size_t unwrittenRecords = 4096;
    // How often the socket file is checked for having been replaced, at most.
    std::chrono::milliseconds socketWatch{1000};
};

// The longest text of one field the daemon sends in a question or a decision (a summary, a
// reason, a folder): longer ones are cut in the middle with a line saying how much is left out.
// A person reads no more in a question, and with every field cut a line stays far below what
// any client reads in one line (`JsonLinesClient::maxLineBytes`), even with every byte escaped.
inline constexpr std::size_t shownTextBytes = 8 * 1024;

}  // namespace vardex::engine

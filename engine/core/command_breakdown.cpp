#include "core/command_breakdown.hpp"

#include <algorithm>
#include <array>
#include <string_view>

#include "core/action_facts.hpp"
#include "core/shell_quote.hpp"
#include "core/path_match.hpp"

namespace vardex::engine {
namespace {

constexpr std::array<std::string_view, 5> deletingPrograms{"rm", "rmdir", "shred", "unlink", "srm"};

bool contains(const auto& set, std::string_view value) { return std::find(set.begin(), set.end(), value) != set.end(); }

// The first `cap` bytes of a text, never cutting a character's bytes apart, marked as cut.
std::string capped(std::string text, std::size_t cap) {
    if (text.size() <= cap) return text;
    while (cap > 0 && (static_cast<unsigned char>(text[cap]) & 0xC0) == 0x80) --cap;
    text.resize(cap);
    return text + "\u2026";
}

std::string redirectText(const Redirect& redirect) {
    std::string out = redirect.fd ? std::to_string(*redirect.fd) : std::string();
    switch (redirect.op) {
        case RedirectOp::read: out += "<"; break;
        case RedirectOp::write: out += ">"; break;
        case RedirectOp::append: out += ">>"; break;
        case RedirectOp::readWrite: out += "<>"; break;
        case RedirectOp::hereDoc: return out + "<<here-document";
        case RedirectOp::hereString: out += "<<<"; break;
        case RedirectOp::dup: out += ">&"; break;
    }
    return out + " " + shellQuoted(redirect.target);
}

std::string partText(const CommandFacts& command) {
    std::string text;
    const auto add = [&text](std::string_view word) {
        if (!text.empty()) text += ' ';
        text += word;
    };
    for (const auto& wrapper : command.wrappers) add(shellQuoted(wrapper));
    for (const auto& assignment : command.env) add(shellQuoted(assignment));
    if (!command.program.empty()) add(shellQuoted(command.program));
    for (const auto& arg : command.args) add(shellQuoted(arg));
    for (const auto& redirect : command.redirects) add(redirectText(redirect));
    return capped(std::move(text), breakdownTextCap);
}

std::string shownPath(const std::string& path, const std::string& home) {
    if (!home.empty() && path.size() > home.size() && path.compare(0, home.size(), home) == 0 && path[home.size()] == '/') {
        return "~" + path.substr(home.size());
    }
    return path == home && !home.empty() ? "~" : path;
}

// What a person should know of one command, most telling first.
std::vector<std::string> notesOf(const CommandFacts& command, bool fedFromDownload, const ActionFacts& line) {
    std::vector<std::string> notes;
    const auto note = [&notes](std::string text) {
        if (notes.size() < breakdownNotesCap && !contains(notes, text)) notes.push_back(std::move(text));
    };
    if (std::any_of(command.wrappers.begin(), command.wrappers.end(),
                    [](const auto& w) { return raisesPrivilege(w); })) {
        note("runs as the administrator");
    }
    if (command.runsFedText) note(fedFromDownload ? "runs text downloaded from the network" : "runs the text fed to it");
    if (command.runsFetchedFile) note("runs a file downloaded earlier in the line");
    else if (command.runsWrittenFile) note("runs a file written earlier in the line");
    if (command.computed) note("runs a program the line does not show");
    if (command.scriptTouches) note("runs code whose effect cannot be read from the line");
    if (command.runsUnseenProgram) note("sets up a program the line does not show");
    for (const auto& use : command.paths) {
        const auto path = shownPath(use.path, line.home);
        if (use.secret != SecretKind::none) note((use.writes ? "changes " : "reads ") + path);
    }
    for (const auto& use : command.paths) {
        if (!use.writes || use.secret != SecretKind::none) continue;
        note((contains(deletingPrograms, command.program) ? "deletes " : "writes ") + shownPath(use.path, line.home));
    }
    for (const auto& host : line.hosts) {
        const bool named = std::any_of(command.args.begin(), command.args.end(), [&host](const std::string& arg) {
            return asciiLower(arg).find(host) != std::string::npos;
        });
        if (named) note("contacts " + host);
    }
    return notes;
}

// The facts of some commands of a line alone, as a rule would see them had the line held only
// those commands; the sites are the line's that these commands name.
ActionFacts factsOfPart(const ActionFacts& line, const std::vector<CommandFacts>& commands) {
    ActionFacts part;
    part.kind = line.kind;
    part.home = line.home;
    part.cwd = line.cwd;
    part.unparsed = line.unparsed;
    part.pipelines = {commands};
    for (const auto& command : commands) {
        if (!part.raw.empty()) part.raw += " | ";
        part.raw += partText(command);
        part.paths.insert(part.paths.end(), command.paths.begin(), command.paths.end());
    }
    const auto lowered = asciiLower(part.raw);
    for (const auto& url : line.urls) {
        if (part.raw.find(url) != std::string::npos) part.urls.push_back(url);
    }
    for (const auto& host : line.hosts) {
        if (lowered.find(host) != std::string::npos) part.hosts.push_back(host);
    }
    return part;
}

const Rule* decidingRule(const EnginePolicy& policy, const Decision& decision) {
    if (!decision.ruleId) return nullptr;
    const auto found = std::find_if(policy.rules.begin(), policy.rules.end(),
                                    [&](const Rule& rule) { return rule.id == *decision.ruleId; });
    return found == policy.rules.end() || !found->matches ? nullptr : &*found;
}

}  // namespace

std::vector<CommandPart> commandBreakdown(const Action& action, const EnginePolicy& policy, const Decision& decision) {
    if (!std::holds_alternative<ShellAction>(action.kind)) return {};
    const auto line = factsOf(action, policy.home);
    const Rule* rule = decidingRule(policy, decision);

    std::vector<CommandPart> parts;
    bool anyFlagged = false;
    std::vector<std::pair<std::size_t, std::size_t>> pipelineSpans;  // first part, part count
    for (const auto& pipeline : line.pipelines) {
        const auto first = parts.size();
        bool fetched = false;
        for (std::size_t i = 0; i < pipeline.size() && parts.size() < breakdownPartsCap; ++i) {
            const auto& command = pipeline[i];
            CommandPart part;
            part.text = partText(command);
            part.piped = i > 0;
            part.notes = notesOf(command, fetched, line);
            part.flagged = rule && rule->matches(factsOfPart(line, {command}));
            anyFlagged = anyFlagged || part.flagged;
            fetched = fetched || fetchesFromNetwork(command.program);
            parts.push_back(std::move(part));
        }
        pipelineSpans.emplace_back(first, parts.size() - first);
        if (parts.size() >= breakdownPartsCap) break;
    }
    if (rule && !anyFlagged) {
        for (std::size_t p = 0; p < pipelineSpans.size(); ++p) {
            const auto [first, count] = pipelineSpans[p];
            if (count < 2 || !rule->matches(factsOfPart(line, line.pipelines[p]))) continue;
            for (std::size_t i = first; i < first + count; ++i) parts[i].flagged = true;
        }
    }
    return parts;
}

}  // namespace vardex::engine

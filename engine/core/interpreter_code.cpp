#include "core/interpreter_code.hpp"

#include <algorithm>
#include <array>
#include <regex>

#include "core/path_match.hpp"

namespace vardex::engine {
namespace {

// The letters of the options that give an interpreter its program as text.
std::string_view codeOptionLetters(std::string_view program) {
    if (program.substr(0, 6) == "python" || program.substr(0, 4) == "pypy") return "c";
    if (program == "pwsh" || program == "powershell") return "c";
    if (program.substr(0, 3) == "php") return "r";
    if (program == "node" || program == "nodejs") return "ep";
    return "eE";
}

// Code longer than this is not read with patterns (they are for one-liners, and the regular
// expression engine's work grows with the text): it counts as unreadable.
constexpr std::size_t maxCode = 2048;

// Expressions that stand for the home folder in the usual interpreters.
const std::regex& homeExpression() {
    static const std::regex pattern(
        R"((?:os\.path\.expanduser|File\.expand_path|expanduser)\(\s*(['"])~\1\s*\))"
        R"(|(?:pathlib\.)?Path\.home\(\))"
        R"(|os\.environ(?:\.get\(|\[)\s*['"]HOME['"]\s*[\])])"
        R"(|(?:os\.)?getenv\(\s*['"]HOME['"]\s*\))"
        R"(|\$ENV\{\s*['"]?HOME['"]?\s*\})"
        R"(|ENV\[\s*['"]HOME['"]\s*\])"
        R"(|process\.env\.HOME|process\.env\[\s*['"]HOME['"]\s*\])"
        R"(|(?:require\(\s*['"](?:node:)?os['"]\s*\)|os)\.homedir\(\))"
        R"(|Dir\.home|\$_SERVER\[\s*['"]HOME['"]\s*\]|Sys\.getenv\(\s*['"]HOME['"]\s*\))"
        R"(|ENVIRON\[\s*['"]HOME['"]\s*\])");
    return pattern;
}

// Two literals joined by ".", "+", "..", or written side by side (awk, Python), or given in
// turn to a path join.
const std::regex& concatenation() {
    static const std::regex pattern(R"((['"])([^'"]*)\1\s*(?:\.\.|\.|\+|)\s*(['"])([^'"]*)\3)");
    return pattern;
}

const std::regex& pathJoin() {
    static const std::regex pattern(R"(((?:join|joinpath|File\.join|resolve)\(\s*)(['"])([^'"]*)\2\s*,\s*(['"])/?([^'"]*)\4)");
    return pattern;
}

}  // namespace

bool isInterpreter(std::string_view program) {
    for (std::string_view prefix : {"python", "perl", "ruby", "php", "lua", "node", "pypy"}) {
        if (program.substr(0, prefix.size()) == prefix) return true;
    }
    static constexpr std::array<std::string_view, 11> others{"nodejs", "Rscript", "osascript", "pwsh", "powershell", "deno",
                                                     "bun", "tclsh", "irb", "jshell", "groovy"};
    return std::find(others.begin(), others.end(), program) != others.end();
}

bool isAwk(std::string_view program) { return program == "awk" || program == "gawk" || program == "mawk" || program == "nawk"; }

std::vector<std::string> inlineCode(const CommandFacts& command) {
    std::vector<std::string> code;
    const auto& args = command.args;
    if (isAwk(command.program)) {
        for (std::size_t i = 0; i < args.size(); ++i) {
            const auto& arg = args[i];
            if (arg == "-f" || arg.starts_with("--file")) return code;
            if (arg == "-F" || arg == "-v") {
                ++i;
            } else if (arg.empty() || arg.front() != '-') {
                code.push_back(arg);
                return code;
            }
        }
        return code;
    }
    if (!isInterpreter(command.program)) return code;
    if (command.program == "deno" && args.size() >= 2 && args[0] == "eval") code.push_back(args[1]);
    const auto letters = codeOptionLetters(command.program);
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (arg == "--") break;
        if (arg == "--eval" || arg == "--print" || arg == "-Command" || arg == "--command") {
            if (i + 1 < args.size()) code.push_back(args[++i]);
            continue;
        }
        if (arg.size() < 2 || arg[0] != '-' || arg[1] == '-') {
            // The first operand is a script file: what follows are its arguments.
            if (arg.empty() || arg[0] != '-') break;
            continue;
        }
        const auto at = arg.find_first_of(letters, 1);
        if (at == std::string_view::npos) continue;
        if (at + 1 < arg.size()) {
            code.emplace_back(arg.substr(at + 1));
        } else if (i + 1 < args.size()) {
            code.push_back(args[++i]);
        }
    }
    return code;
}

bool codeUnreadable(std::string_view code) {
    if (code.size() > maxCode || code.find("$(") != std::string_view::npos || code.find('`') != std::string_view::npos ||
        (!code.empty() && code.front() == '$')) {
        return true;
    }
    static constexpr std::array<std::string_view, 16> network{
        "socket", "urllib", "requests", "http.client", "httpx", "fetch(", "net/http", "open-uri", "lwp::", "curl_",
        "xmlhttprequest", "net::http", "https.get", "http.get", "http.request", "aiohttp"};
    const auto lower = asciiLower(code);
    const auto mentions = [&](std::initializer_list<std::string_view> words) {
        return std::any_of(words.begin(), words.end(), [&](std::string_view w) { return lower.find(w) != std::string::npos; });
    };
    if (std::any_of(network.begin(), network.end(), [&](std::string_view w) { return lower.find(w) != std::string::npos; })) {
        return true;
    }
    if (mentions({"ctypes", "ffi."})) return true;
    // A call whose first argument is not written out: what it runs, loads or deletes cannot be
    // read. The patterns run only where their words appear, as they cost more than the search.
    static const std::regex dynamic(
        R"((?:^|[^.\w])(?:eval|exec|__import__|loadstring|load|Function|instance_eval)\s*\(\s*[^'"\s)]|import_module\s*\(\s*[^'"\s)])");
    static const std::regex running(
        R"(\b(?:system|exec|execSync|execFileSync|execFile|spawn|spawnSync|popen|Popen|run|call|check_call|check_output|getoutput|getstatusoutput|shell_exec|passthru|proc_open|execute)\s*\(\s*[^'"\[\s)]|\b(?:system|exec)\s+[$@])");
    static const std::regex deleting(
        R"(\b(?:rmtree|rm_rf|rm_r|rmSync|rmdirSync|unlinkSync|unlink|remove|rmdir|removedirs|rimraf|remove_dir_all|remove_tree)\s*\(\s*[^'"\s)])");
    const std::string text(code);
    return (mentions({"eval", "exec", "import", "load", "function"}) && std::regex_search(text, dynamic)) ||
           (mentions({"rm", "unlink", "remove"}) && std::regex_search(text, deleting)) ||
           (codeRunsPrograms(code) && std::regex_search(text, running));
}

bool codeRunsPrograms(std::string_view code) {
    // awk runs a command it pipes to or reads with getline.
    static constexpr std::array<std::string_view, 14> words{"system", "exec", "spawn", "popen", "subprocess",
                                                            "child_process", "shell_exec", "passthru", "proc_open",
                                                            "`", "qx", "%x", "getline", "| \""};
    const auto lower = asciiLower(code);
    return std::any_of(words.begin(), words.end(), [&](std::string_view w) { return lower.find(w) != std::string::npos; });
}

bool codeWrites(std::string_view code) {
    static constexpr std::array<std::string_view, 12> words{"'w'", "\"w\"", "'a'", "\"a\"", "write", "remove", "unlink",
                                                            "rmtree", "rename", "replace", "truncate", "'>"};
    const auto lower = asciiLower(code);
    return std::any_of(words.begin(), words.end(), [&](std::string_view w) { return lower.find(w) != std::string::npos; });
}

std::vector<std::string> stringLiterals(std::string_view code) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char quote = code[i];
        if (quote != '\'' && quote != '"' && quote != '`') continue;
        std::string literal;
        std::size_t j = i + 1;
        for (; j < code.size() && code[j] != quote; ++j) {
            if (code[j] == '\\' && j + 1 < code.size()) ++j;
            literal += code[j];
        }
        out.push_back(std::move(literal));
        i = j;
    }
    return out;
}

bool isModuleName(std::string_view literal) {
    if (literal.substr(0, 5) == "node:") literal.remove_prefix(5);
    static constexpr std::array<std::string_view, 10> modules{"child_process", "subprocess", "os", "fs", "shutil",
                                                              "fileutils", "open3", "path", "fs/promises", "process"};
    return std::find(modules.begin(), modules.end(), literal) != modules.end();
}

std::string withHomeSpelled(std::string_view code) {
    // Large programs are left as they are: the patterns are for one-liners.
    if (code.size() > maxCode) return std::string(code);
    const auto lower = asciiLower(code);
    std::string text(code);
    if (lower.find("home") != std::string::npos || lower.find("expand") != std::string::npos) {
        text = std::regex_replace(text, homeExpression(), "\"~\"");
    }
    // Only literals joined by an operator or a join call need joining.
    static const std::regex joinedLiterals(R"(['"]\s*(?:\.|\+|,|['"]))");
    if (lower.find("join") == std::string::npos && lower.find("resolve") == std::string::npos &&
        !std::regex_search(text, joinedLiterals)) {
        return text;
    }
    for (int round = 0; round < 8; ++round) {
        auto next = std::regex_replace(text, pathJoin(), "$1\"$3/$5\"");
        next = std::regex_replace(next, concatenation(), "\"$2$4\"");
        if (next == text) break;
        text = std::move(next);
    }
    return text;
}

std::vector<std::string> deletionsAsShell(std::string_view code) {
    static constexpr std::array<std::string_view, 16> deleting{
        "rmtree", "rm_rf", "rm_r", "rmsync", "rmdirsync", "rimraf", "remove_dir_all", "fileutils.rm", "unlink",
        "os.remove", "file.delete", "fs.rm", "remove_tree", "fs.rmdir", "deletesync", "remove_dir"};
    const auto lower = asciiLower(code);
    if (std::none_of(deleting.begin(), deleting.end(), [&](std::string_view w) { return lower.find(w) != std::string::npos; })) {
        return {};
    }
    std::vector<std::string> lines;
    for (const auto& literal : stringLiterals(code)) {
        if (literal.empty() || literal.find_first_of(" '\"\n;&|") != std::string::npos) continue;
        if (literal.front() == '~' || literal.front() == '/' || literal.front() == '.' || literal.find('/') != std::string::npos) {
            lines.push_back("rm -rf " + literal);
        }
    }
    return lines;
}

}  // namespace vardex::engine

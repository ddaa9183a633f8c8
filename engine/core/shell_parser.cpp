#include "core/shell_parser.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>

#include "core/path_match.hpp"

namespace vardex::engine {
namespace {

// Thrown inside the parser for anything outside the grammar it knows; the whole line then
// becomes one "unparsed" node. It never leaves this file.
struct Unsupported {};

// Nested groups and substitutions deeper than this are refused rather than risking the stack.
constexpr int maxDepth = 64;

enum class TokenKind { word, op, newline, end };

struct Token {
    TokenKind kind = TokenKind::end;
    std::string text;                    // the word after quote removal, or the operator
    std::vector<ArgvTree> substitutions;  // "$( )", "` `", "<( )" inside the word
    bool quoted = false;                 // some part of the word was quoted
};

// Wrapper commands and the options of theirs that take a value.
struct Wrapper {
    std::string_view name;
    std::initializer_list<std::string_view> valueOptions;
    bool takesOperand = false;  // a first operand before the command (timeout's duration)
};

const std::array<Wrapper, 17> wrappers{{
    {"env", {"-u", "--unset", "-C", "--chdir", "-S", "--split-string"}},
    {"nohup", {}},
    {"time", {"-f", "--format", "-o", "--output"}},
    {"nice", {"-n", "--adjustment"}},
    {"ionice", {"-c", "--class", "-n", "--classdata", "-p", "--pid"}},
    {"timeout", {"-s", "--signal", "-k", "--kill-after"}, true},
    {"sudo", {"-u", "--user", "-g", "--group", "-C", "--close-from", "-D", "--chdir", "-h", "--host", "-p",
              "--prompt", "-r", "--role", "-t", "--type", "-T", "--command-timeout", "-U", "--other-user"}},
    {"doas", {"-u", "-C"}},
    {"xargs", {"-I", "-n", "--max-args", "-P", "--max-procs", "-L", "--max-lines", "-d", "--delimiter", "-E",
               "-s", "--max-chars", "-a", "--arg-file"}},
    {"exec", {"-a"}},
    {"command", {}},
    {"builtin", {}},
    {"stdbuf", {"-i", "-o", "-e", "--input", "--output", "--error"}},
    {"setsid", {}},
    {"caffeinate", {"-t", "-w"}},
    {"chronic", {}},
    {"unbuffer", {}},
}};

const Wrapper* wrapperNamed(std::string_view program) {
    const auto name = baseName(program);
    for (const auto& w : wrappers) {
        if (w.name == name) return &w;
    }
    return nullptr;
}

bool isAssignment(const Token& token) {
    const auto& t = token.text;
    const auto equals = t.find('=');
    if (equals == std::string::npos || equals == 0) return false;
    if (!(std::isalpha(static_cast<unsigned char>(t[0])) || t[0] == '_')) return false;
    return std::all_of(t.begin(), t.begin() + static_cast<std::ptrdiff_t>(equals),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
}

// Words that open compound commands this parser does not model.
bool isUnsupportedKeyword(std::string_view word) {
    static constexpr std::array<std::string_view, 17> keywords{
        "if", "then", "else", "elif", "fi", "for", "while", "until", "do", "done", "case", "esac",
        "function", "select", "[[", "]]", "coproc"};
    return std::find(keywords.begin(), keywords.end(), word) != keywords.end();
}

class Parser {
public:
    Parser(std::string_view text, int depth) : text_(text), depth_(depth) {
        if (depth_ > maxDepth) throw Unsupported{};
    }

    ArgvTree parseAll() {
        advance();
        skipNewlines();
        if (current_.kind == TokenKind::end) throw Unsupported{};
        auto tree = parseList();
        if (current_.kind != TokenKind::end) throw Unsupported{};
        return tree;
    }

private:
    // ---- lexer ----

    bool atEnd() const { return pos_ >= text_.size(); }
    char peek(std::size_t ahead = 0) const { return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0'; }

    static bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
    static bool isOperatorStart(char c) { return c == '|' || c == '&' || c == ';' || c == '(' || c == ')' || c == '<' || c == '>'; }

    void advance() { current_ = lex(); }

    Token lex() {
        for (;;) {
            while (!atEnd() && isBlank(peek())) ++pos_;
            if (!atEnd() && peek() == '\\' && peek(1) == '\n') {
                pos_ += 2;
                continue;
            }
            if (!atEnd() && peek() == '#') {
                while (!atEnd() && peek() != '\n') ++pos_;
            }
            break;
        }
        Token token;
        if (atEnd()) return token;
        const char c = peek();
        if (c == '\n') {
            ++pos_;
            // Here-document bodies follow the line that announced them.
            if (heredocSkipTo_ && pos_ - 1 == heredocNewline_) {
                pos_ = *heredocSkipTo_;
                heredocSkipTo_.reset();
            }
            token.kind = TokenKind::newline;
            return token;
        }
        if (isOperatorStart(c)) {
            // Process substitution reads like a word.
            if ((c == '<' || c == '>') && peek(1) == '(') return lexWord();
            token.kind = TokenKind::op;
            token.text = lexOperator();
            return token;
        }
        return lexWord();
    }

    std::string lexOperator() {
        static constexpr std::array<std::string_view, 19> operators{
            "&>>", "<<<", "<<-", ";;", "&&", "||", "|&", ">>", "<<", "<>", ">&", "<&", ">|", "&>",
            "|", "&", ";", "<", ">"};
        for (auto op : operators) {
            if (text_.substr(pos_, op.size()) == op) {
                pos_ += op.size();
                if (op == ";;") throw Unsupported{};
                return std::string(op);
            }
        }
        return std::string(1, text_[pos_++]);
    }

    Token lexWord() {
        Token token;
        token.kind = TokenKind::word;
        while (!atEnd()) {
            const char c = peek();
            if (isBlank(c) || c == '\n') break;
            if (isOperatorStart(c)) {
                if ((c == '<' || c == '>') && peek(1) == '(') {
                    const auto start = pos_;
                    pos_ += 2;
                    token.substitutions.push_back(substitution(')'));
                    token.text.append(text_.substr(start, pos_ - start));
                    continue;
                }
                break;
            }
            if (c == '\\') {
                ++pos_;
                if (atEnd()) break;
                token.text += text_[pos_++];
                token.quoted = true;
            } else if (c == '\'') {
                const auto close = text_.find('\'', pos_ + 1);
                if (close == std::string_view::npos) throw Unsupported{};
                token.text.append(text_.substr(pos_ + 1, close - pos_ - 1));
                pos_ = close + 1;
                token.quoted = true;
            } else if (c == '"') {
                ++pos_;
                lexDoubleQuoted(token);
                token.quoted = true;
            } else if (c == '$' || c == '`') {
                lexDollar(token);
            } else {
                token.text += c;
                ++pos_;
            }
        }
        return token;
    }

    void lexDoubleQuoted(Token& token) {
        while (!atEnd()) {
            const char c = peek();
            if (c == '"') {
                ++pos_;
                return;
            }
            if (c == '\\' && (peek(1) == '"' || peek(1) == '\\' || peek(1) == '$' || peek(1) == '`')) {
                token.text += peek(1);
                pos_ += 2;
            } else if (c == '\\' && peek(1) == '\n') {
                pos_ += 2;
            } else if (c == '$' || c == '`') {
                lexDollar(token);
            } else {
                token.text += c;
                ++pos_;
            }
        }
        throw Unsupported{};
    }

    // "$( )", "` `", "$(( ))" and "${ }" are kept in the word as written; command
    // substitutions are parsed as trees of their own.
    void lexDollar(Token& token) {
        const auto start = pos_;
        if (peek() == '`') {
            ++pos_;
            token.substitutions.push_back(substitution('`'));
        } else if (peek(1) == '(' && peek(2) == '(') {
            pos_ += 3;
            skipBalanced('(', ')', 2);
        } else if (peek(1) == '(') {
            pos_ += 2;
            token.substitutions.push_back(substitution(')'));
        } else if (peek(1) == '{') {
            pos_ += 2;
            skipBalanced('{', '}', 1);
        } else {
            ++pos_;
        }
        token.text.append(text_.substr(start, pos_ - start));
    }

    void skipBalanced(char open, char close, int depth) {
        while (!atEnd() && depth > 0) {
            const char c = text_[pos_++];
            if (c == open) ++depth;
            if (c == close) --depth;
        }
        if (depth > 0) throw Unsupported{};
    }

    // Parses the inside of a substitution up to its closing character, leaving `pos_` after it.
    ArgvTree substitution(char close) {
        const auto start = pos_;
        const auto end = closingOf(close);
        pos_ = end + 1;
        const auto inner = text_.substr(start, end - start);
        if (unicodeBlank(inner)) return ArgvTree{ArgvTree::Unparsed{std::string()}};
        return Parser(inner, depth_ + 1).parseAll();
    }

    static bool unicodeBlank(std::string_view text) {
        return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
    }

    // The position of the character that closes a substitution opened just before `pos_`,
    // minding quotes and nested parentheses.
    std::size_t closingOf(char close) const {
        int depth = 1;
        for (auto i = pos_; i < text_.size(); ++i) {
            const char c = text_[i];
            if (c == '\\') {
                ++i;
            } else if (c == '\'' && close != '`') {
                const auto end = text_.find('\'', i + 1);
                if (end == std::string_view::npos) throw Unsupported{};
                i = end;
            } else if (c == '"' && close != '`') {
                for (++i; i < text_.size() && text_[i] != '"'; ++i) {
                    if (text_[i] == '\\') ++i;
                }
                if (i >= text_.size()) throw Unsupported{};
            } else if (close == '`' && c == '`') {
                return i;
            } else if (close == ')' && c == '(') {
                ++depth;
            } else if (close == ')' && c == ')' && --depth == 0) {
                return i;
            }
        }
        throw Unsupported{};
    }

    // Reads the body of a here-document announced on the current line, so the lexer can jump
    // over it when it reaches the end of that line.
    std::string hereDocBody(const std::string& delimiter, bool stripTabs) {
        const auto newline = heredocSkipTo_ ? heredocNewline_ : text_.find('\n', pos_);
        if (newline == std::string_view::npos) throw Unsupported{};
        auto lineStart = heredocSkipTo_ ? *heredocSkipTo_ : newline + 1;
        std::string body;
        for (;;) {
            if (lineStart > text_.size()) throw Unsupported{};
            const auto lineEnd = std::min(text_.find('\n', lineStart), text_.size());
            auto line = text_.substr(lineStart, lineEnd - lineStart);
            if (stripTabs) line.remove_prefix(std::min(line.find_first_not_of('\t'), line.size()));
            const auto next = lineEnd + 1;
            if (line == delimiter) {
                heredocNewline_ = newline;
                heredocSkipTo_ = std::min(next, text_.size());
                return body;
            }
            if (lineEnd >= text_.size()) throw Unsupported{};
            body.append(line);
            body += '\n';
            lineStart = next;
        }
    }

    // ---- grammar ----

    bool isOp(std::string_view op) const { return current_.kind == TokenKind::op && current_.text == op; }

    void skipNewlines() {
        while (current_.kind == TokenKind::newline) advance();
    }

    // and_or ((";" | "&" | newline) and_or)*
    ArgvTree parseList() {
        auto left = parseAndOr();
        for (;;) {
            ListOp op;
            if (isOp(";") || current_.kind == TokenKind::newline) {
                op = ListOp::then;
            } else if (isOp("&")) {
                op = ListOp::background;
            } else {
                return left;
            }
            advance();
            skipNewlines();
            // A trailing separator ends the list; a command sent to the background alone is
            // still just that command.
            if (current_.kind == TokenKind::end || isOp(")") || (current_.kind == TokenKind::word && current_.text == "}" && !current_.quoted)) {
                return left;
            }
            auto right = parseAndOr();
            left = ArgvTree{ArgvTree::List{op, Indirect<ArgvTree>(std::move(left)), Indirect<ArgvTree>(std::move(right))}};
        }
    }

    ArgvTree parseAndOr() {
        auto left = parsePipeline();
        while (isOp("&&") || isOp("||")) {
            const auto op = isOp("&&") ? ListOp::andOp : ListOp::orOp;
            advance();
            skipNewlines();
            auto right = parsePipeline();
            left = ArgvTree{ArgvTree::List{op, Indirect<ArgvTree>(std::move(left)), Indirect<ArgvTree>(std::move(right))}};
        }
        return left;
    }

    ArgvTree parsePipeline() {
        if (current_.kind == TokenKind::word && current_.text == "!" && !current_.quoted) advance();
        std::vector<ArgvTree> stages;
        stages.push_back(parseCommand());
        while (isOp("|") || isOp("|&")) {
            advance();
            skipNewlines();
            stages.push_back(parseCommand());
        }
        if (stages.size() == 1) return std::move(stages.front());
        return ArgvTree{ArgvTree::Pipeline{std::move(stages)}};
    }

    ArgvTree parseCommand() {
        if (isOp("(")) {
            advance();
            auto body = parseGroupBody([&] { return isOp(")"); });
            advance();
            return groupWithRedirects(std::move(body));
        }
        if (current_.kind == TokenKind::word && current_.text == "{" && !current_.quoted) {
            advance();
            auto body = parseGroupBody([&] { return current_.kind == TokenKind::word && current_.text == "}" && !current_.quoted; });
            advance();
            return groupWithRedirects(std::move(body));
        }
        return parseSimple();
    }

    template <class IsClose>
    ArgvTree parseGroupBody(IsClose isClose) {
        if (++nesting_ > maxDepth) throw Unsupported{};
        skipNewlines();
        auto body = parseList();
        skipNewlines();
        if (!isClose()) throw Unsupported{};
        --nesting_;
        return body;
    }

    ArgvTree groupWithRedirects(ArgvTree body) {
        // Redirections of a whole group apply to everything inside it; they are kept on a
        // command of their own after the body so that the files they touch stay visible.
        ArgvTree::Command redirected;
        while (isRedirectAhead()) {
            redirected.redirects.push_back(parseRedirect(std::nullopt));
            moveSubstitutions(redirected);
        }
        if (!redirected.redirects.empty()) {
            body = ArgvTree{ArgvTree::List{ListOp::then, Indirect<ArgvTree>(std::move(body)),
                                           Indirect<ArgvTree>(ArgvTree{std::move(redirected)})}};
        }
        return ArgvTree{ArgvTree::Group{Indirect<ArgvTree>(std::move(body))}};
    }

    bool isRedirectOp() const {
        if (current_.kind != TokenKind::op) return false;
        static constexpr std::array<std::string_view, 12> ops{"<", ">", ">>", "<<", "<<-", "<<<", "<>", ">&", "<&", ">|", "&>", "&>>"};
        return std::find(ops.begin(), ops.end(), current_.text) != ops.end();
    }

    bool isRedirectAhead() const { return isRedirectOp() || isFdWord(); }

    // A word made of digits right before a redirection operator names the descriptor.
    bool isFdWord() const {
        if (current_.kind != TokenKind::word || current_.quoted || current_.text.empty()) return false;
        if (!std::all_of(current_.text.begin(), current_.text.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
            return false;
        }
        return pos_ < text_.size() && (text_[pos_] == '<' || text_[pos_] == '>') && current_.text.size() < 10;
    }

    Redirect parseRedirect(std::optional<std::uint32_t> fd) {
        if (isFdWord()) {
            fd = static_cast<std::uint32_t>(std::stoul(current_.text));
            advance();
            if (!isRedirectOp()) throw Unsupported{};
        }
        const auto op = current_.text;
        advance();
        if (current_.kind != TokenKind::word) throw Unsupported{};
        Redirect redirect;
        redirect.fd = fd;
        redirect.target = current_.text;
        if (op == "<") {
            redirect.op = RedirectOp::read;
        } else if (op == ">" || op == ">|" || op == "&>") {
            redirect.op = RedirectOp::write;
        } else if (op == ">>" || op == "&>>") {
            redirect.op = RedirectOp::append;
        } else if (op == "<>") {
            redirect.op = RedirectOp::readWrite;
        } else if (op == "<<<") {
            redirect.op = RedirectOp::hereString;
            redirect.body = current_.text;
        } else if (op == "<<" || op == "<<-") {
            redirect.op = RedirectOp::hereDoc;
            redirect.body = hereDocBody(current_.text, op == "<<-");
        } else {
            // ">&" and "<&": a descriptor copy, or with a file name the same as ">".
            const bool number = !redirect.target.empty() && (redirect.target == "-" ||
                std::all_of(redirect.target.begin(), redirect.target.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }));
            redirect.op = number ? RedirectOp::dup : (op == ">&" ? RedirectOp::write : RedirectOp::read);
        }
        pendingSubstitutions_ = std::move(current_.substitutions);
        advance();
        return redirect;
    }

    ArgvTree parseSimple() {
        ArgvTree::Command command;
        bool sawWord = false;
        for (;;) {
            if (isRedirectAhead()) {
                command.redirects.push_back(parseRedirect(std::nullopt));
                moveSubstitutions(command);
                continue;
            }
            if (current_.kind != TokenKind::word) break;
            if (!sawWord && !current_.quoted && isUnsupportedKeyword(current_.text)) throw Unsupported{};
            if (!sawWord && isAssignment(current_)) {
                command.env.push_back(current_.text);
            } else {
                if (!sawWord && !current_.quoted && current_.text == "}") break;
                command.argv.push_back(current_.text);
                sawWord = true;
            }
            for (auto& s : current_.substitutions) command.substitutions.push_back(std::move(s));
            advance();
            // "name() { ... }" defines a function.
            if (sawWord && command.argv.size() == 1 && isOp("(")) throw Unsupported{};
        }
        if (!sawWord && command.env.empty() && command.redirects.empty()) throw Unsupported{};
        unwrap(command);
        return ArgvTree{std::move(command)};
    }

    void moveSubstitutions(ArgvTree::Command& command) {
        for (auto& s : pendingSubstitutions_) command.substitutions.push_back(std::move(s));
        pendingSubstitutions_.clear();
    }

    // Moves wrapper commands (and their options) out of argv, so argv starts with the real
    // program; `env NAME=value` assignments join the command's own.
    static void unwrap(ArgvTree::Command& command) {
        auto& argv = command.argv;
        std::size_t at = 0;
        while (at < argv.size()) {
            const auto* wrapper = wrapperNamed(argv[at]);
            if (!wrapper) break;
            std::size_t next = at + 1;
            bool operandTaken = !wrapper->takesOperand;
            while (next < argv.size()) {
                const auto& arg = argv[next];
                if (arg == "--") {
                    ++next;
                    break;
                }
                if (arg.size() > 1 && arg.front() == '-') {
                    const bool takesValue = std::find(wrapper->valueOptions.begin(), wrapper->valueOptions.end(), arg) !=
                                            wrapper->valueOptions.end();
                    next += takesValue ? 2 : 1;
                    continue;
                }
                if (wrapper->name == "env" || wrapper->name == "sudo") {
                    Token probe;
                    probe.text = arg;
                    if (isAssignment(probe)) {
                        command.env.push_back(arg);
                        ++next;
                        continue;
                    }
                }
                if (!operandTaken) {
                    operandTaken = true;
                    ++next;
                    continue;
                }
                break;
            }
            // A wrapper with nothing after it is the command itself ("sudo -i", "env").
            if (next >= argv.size()) break;
            command.wrappers.push_back(argv[at]);
            at = next;
        }
        argv.erase(argv.begin(), argv.begin() + static_cast<std::ptrdiff_t>(at));
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    int depth_ = 0;
    int nesting_ = 0;
    Token current_;
    std::vector<ArgvTree> pendingSubstitutions_;
    std::size_t heredocNewline_ = 0;
    std::optional<std::size_t> heredocSkipTo_;
};

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

bool hasHexEscape(std::string_view line) {
    for (auto at = line.find("\\x"); at != std::string_view::npos; at = line.find("\\x", at + 1)) {
        if (at + 3 < line.size() && std::isxdigit(static_cast<unsigned char>(line[at + 2])) &&
            std::isxdigit(static_cast<unsigned char>(line[at + 3]))) {
            return true;
        }
    }
    return false;
}

void treeFlags(const ArgvTree& tree, bool& indirection, bool& dynamicEval) {
    if (const auto* command = std::get_if<ArgvTree::Command>(&tree.node)) {
        if (!command->argv.empty()) {
            const auto& program = command->argv.front();
            if (!program.empty() && program.front() == '$') indirection = true;
            const bool evaluates = program == "eval" || program == "source" || program == ".";
            const bool shellC = (program == "sh" || program == "bash" || program == "zsh") &&
                                std::find(command->argv.begin(), command->argv.end(), "-c") != command->argv.end();
            const bool dynamicArgs = std::any_of(command->argv.begin() + 1, command->argv.end(),
                                                 [](const std::string& a) { return a.find('$') != std::string::npos; });
            if ((evaluates || shellC) && (dynamicArgs || !command->substitutions.empty())) dynamicEval = true;
        }
        for (const auto& s : command->substitutions) treeFlags(s, indirection, dynamicEval);
    } else if (const auto* pipeline = std::get_if<ArgvTree::Pipeline>(&tree.node)) {
        for (const auto& stage : pipeline->commands) treeFlags(stage, indirection, dynamicEval);
    } else if (const auto* list = std::get_if<ArgvTree::List>(&tree.node)) {
        treeFlags(*list->left, indirection, dynamicEval);
        treeFlags(*list->right, indirection, dynamicEval);
    } else if (const auto* group = std::get_if<ArgvTree::Group>(&tree.node)) {
        treeFlags(*group->body, indirection, dynamicEval);
    }
}

}  // namespace

ArgvTree parseShell(std::string_view line) {
    try {
        return Parser(line, 0).parseAll();
    } catch (const Unsupported&) {
        return ArgvTree{ArgvTree::Unparsed{std::string(line)}};
    } catch (const std::out_of_range&) {
        return ArgvTree{ArgvTree::Unparsed{std::string(line)}};
    }
}

std::vector<ObfuscationFlag> obfuscationFlags(std::string_view line) {
    std::vector<ObfuscationFlag> flags;
    const auto lower = asciiLower(line);
    if (contains(lower, "base64 -d") || contains(lower, "base64 --decode") || contains(line, "base64 -D") ||
        contains(lower, "b64decode") || contains(lower, "frombase64string")) {
        flags.push_back(ObfuscationFlag::base64Decode);
    }
    if (hasHexEscape(line) || contains(lower, "xxd -r")) flags.push_back(ObfuscationFlag::hexEscape);
    bool indirection = contains(line, "${!");
    bool dynamicEval = false;
    treeFlags(parseShell(line), indirection, dynamicEval);
    if (indirection) flags.push_back(ObfuscationFlag::varIndirection);
    if (dynamicEval) flags.push_back(ObfuscationFlag::evalDynamic);
    return flags;
}

ShellAction shellAction(std::string_view line, std::string_view cwd) {
    ShellAction action;
    action.raw = std::string(line);
    action.cwd = std::string(cwd);
    action.argvTree = parseShell(line);
    action.obfuscation = obfuscationFlags(line);
    return action;
}

std::vector<std::vector<std::string>> roughCommands(std::string_view line) {
    std::vector<std::vector<std::string>> commands(1);
    std::string word;
    auto endWord = [&] {
        if (!word.empty()) commands.back().push_back(std::move(word));
        word.clear();
    };
    for (char c : line) {
        if (c == ' ' || c == '\t' || c == '\n') {
            endWord();
        } else if (c == '|' || c == ';' || c == '&' || c == '(' || c == ')' || c == '`') {
            endWord();
            if (!commands.back().empty()) commands.emplace_back();
        } else if (c != '"' && c != '\'') {
            word += c;
        }
    }
    endWord();
    if (commands.back().empty()) commands.pop_back();
    // Loop and branch keywords are not programs: "do rm -rf ~" runs rm.
    for (auto& words : commands) {
        std::size_t keywords = 0;
        while (keywords < words.size() && (isUnsupportedKeyword(words[keywords]) || words[keywords] == "!" ||
                                           words[keywords] == "{" || words[keywords] == "}")) {
            ++keywords;
        }
        words.erase(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(keywords));
    }
    std::erase_if(commands, [](const auto& words) { return words.empty(); });
    return commands;
}

}  // namespace vardex::engine

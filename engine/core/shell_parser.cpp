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

// Nested groups, compound commands and substitutions deeper than this are refused rather than
// risking the stack; so is a line that chains more commands than this with ";", "&&", "||"
// and newlines. Every walk over a tree the parser returns is therefore bounded, and the tree
// still fits the wire format's nesting limit when it is sent on.
constexpr int maxDepth = 32;
constexpr int maxLinks = 128;

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

const std::array<Wrapper, 36> wrappers{{
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
    {"pkexec", {"--user"}},
    {"run0", {"-u", "--user", "-D", "--chdir"}},
    {"busybox", {}},
    {"flock", {"-w", "--timeout", "-E", "--conflict-exit-code"}, true},
    {"chrt", {}, true},
    {"taskset", {}, true},
    {"nsenter", {"-t", "--target", "-S", "--setuid", "-G", "--setgid"}},
    {"unshare", {}},
    {"systemd-run", {"-u", "--unit", "-p", "--property", "-E", "--setenv", "--on-calendar", "--on-active",
                     "--on-boot", "--on-startup", "--on-unit-active", "--on-unit-inactive", "--description",
                     "--slice", "-M", "--machine", "--working-directory", "--uid", "--gid", "--nice"}},
    {"dbus-run-session", {"--config-file"}},
    {"xvfb-run", {"-s", "--server-args", "-n", "--server-num", "-f", "--auth-file", "-e", "--error-file", "-p",
                  "--xauth-protocol", "-w", "--wait"}},
    {"strace", {"-o", "-e", "-s", "-E", "-u", "-a", "-b", "-I", "-O", "-S", "-X", "-P", "-p"}},
    {"ltrace", {"-o", "-e", "-s", "-E", "-u", "-a", "-n", "-l", "-p"}},
    {"valgrind", {}},
    {"torsocks", {}},
    {"proxychains", {"-f"}},
    {"proxychains4", {"-f"}},
    {"firejail", {}},
    {"catchsegv", {}},
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

// The shell's reserved words.
bool isUnsupportedKeyword(std::string_view word) {
    static constexpr std::array<std::string_view, 17> keywords{
        "if", "then", "else", "elif", "fi", "for", "while", "until", "do", "done", "case", "esac",
        "function", "select", "[[", "]]", "coproc"};
    return std::find(keywords.begin(), keywords.end(), word) != keywords.end();
}

// Reserved words that close a list in a compound command ("then" after the condition of "if").
bool endsList(std::string_view word) {
    static constexpr std::array<std::string_view, 8> closers{"}", "then", "else", "elif", "fi", "do", "done", "esac"};
    return std::find(closers.begin(), closers.end(), word) != closers.end();
}

// Counts what one line may build, shared by the parsers of its substitutions.
struct Budget {
    int links = 0;
};

class Parser {
public:
    Parser(std::string_view text, int depth, Budget& budget) : text_(text), depth_(depth), budget_(budget) {
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
        static constexpr std::array<std::string_view, 21> operators{
            "&>>", "<<<", "<<-", ";;&", ";;", ";&", "&&", "||", "|&", ">>", "<<", "<>", ">&", "<&", ">|", "&>",
            "|", "&", ";", "<", ">"};
        for (auto op : operators) {
            if (text_.substr(pos_, op.size()) == op) {
                pos_ += op.size();
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
            if (c == '\\' && peek(1) == '\n') {
                // A line continuation joins the word's two halves.
                pos_ += 2;
            } else if (c == '\\') {
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
        return Parser(inner, depth_ + 1, budget_).parseAll();
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
    bool isWord(std::string_view word) const {
        return current_.kind == TokenKind::word && !current_.quoted && current_.text == word;
    }
    bool isCaseEnd() const { return isOp(";;") || isOp(";&") || isOp(";;&"); }
    bool atListEnd() const {
        return current_.kind == TokenKind::end || isOp(")") || isCaseEnd() ||
               (current_.kind == TokenKind::word && !current_.quoted && endsList(current_.text));
    }

    ArgvTree link(ListOp op, ArgvTree left, ArgvTree right) {
        if (++budget_.links > maxLinks) throw Unsupported{};
        return ArgvTree{ArgvTree::List{op, Indirect<ArgvTree>(std::move(left)), Indirect<ArgvTree>(std::move(right))}};
    }

    void expectWord(std::string_view word) {
        if (!isWord(word)) throw Unsupported{};
        advance();
    }

    // Entered for every nested body, so that nesting stays within `maxDepth`.
    struct Nest {
        explicit Nest(int& nesting) : nesting_(nesting) {
            if (++nesting_ > maxDepth) throw Unsupported{};
        }
        ~Nest() { --nesting_; }
        Nest(const Nest&) = delete;
        Nest& operator=(const Nest&) = delete;
        int& nesting_;
    };

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
            if (atListEnd()) return left;
            auto right = parseAndOr();
            left = link(op, std::move(left), std::move(right));
        }
    }

    ArgvTree parseAndOr() {
        auto left = parsePipeline();
        while (isOp("&&") || isOp("||")) {
            const auto op = isOp("&&") ? ListOp::andOp : ListOp::orOp;
            advance();
            skipNewlines();
            auto right = parsePipeline();
            left = link(op, std::move(left), std::move(right));
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
        if (isWord("{")) {
            advance();
            auto body = parseGroupBody([&] { return isWord("}"); });
            advance();
            return groupWithRedirects(std::move(body));
        }
        if (isWord("if")) return compound([&] { return parseIf(); });
        if (isWord("while") || isWord("until")) return compound([&] { return parseLoop(); });
        if (isWord("for")) return compound([&] { return parseFor(); });
        if (isWord("case")) return compound([&] { return parseCase(); });
        if (isWord("function")) {
            advance();
            if (current_.kind != TokenKind::word) throw Unsupported{};
            advance();
            return functionBody();
        }
        if (isWord("[[")) return parseTest();
        return parseSimple();
    }

    template <class IsClose>
    ArgvTree parseGroupBody(IsClose isClose) {
        const Nest nest(nesting_);
        auto body = parseBody();
        if (!isClose()) throw Unsupported{};
        return body;
    }

    // A list inside a compound command, up to the reserved word that closes it.
    ArgvTree parseBody() {
        skipNewlines();
        if (atListEnd()) throw Unsupported{};
        auto body = parseList();
        skipNewlines();
        return body;
    }

    template <class Parse>
    ArgvTree compound(Parse parse) {
        const Nest nest(nesting_);
        return groupWithRedirects(parse());
    }

    // if LIST then LIST [elif LIST then LIST]... [else LIST] fi: every branch may run.
    ArgvTree parseIf() {
        advance();
        auto tree = parseBody();
        expectWord("then");
        tree = link(ListOp::andOp, std::move(tree), parseBody());
        while (isWord("elif")) {
            advance();
            auto condition = parseBody();
            expectWord("then");
            tree = link(ListOp::orOp, std::move(tree), link(ListOp::andOp, std::move(condition), parseBody()));
        }
        if (isWord("else")) {
            advance();
            tree = link(ListOp::orOp, std::move(tree), parseBody());
        }
        expectWord("fi");
        return tree;
    }

    // while|until LIST do LIST done
    ArgvTree parseLoop() {
        advance();
        auto condition = parseBody();
        expectWord("do");
        auto tree = link(ListOp::andOp, std::move(condition), parseBody());
        expectWord("done");
        return tree;
    }

    // for NAME [in WORDS] do LIST done. The header is kept as a command "for NAME in WORDS" so
    // that the paths and substitutions of its words stay visible.
    ArgvTree parseFor() {
        ArgvTree::Command header;
        header.argv.push_back(current_.text);
        advance();
        if (current_.kind != TokenKind::word) throw Unsupported{};
        header.argv.push_back(current_.text);
        advance();
        skipNewlines();
        if (isWord("in")) {
            header.argv.push_back(current_.text);
            advance();
            while (current_.kind == TokenKind::word) {
                header.argv.push_back(current_.text);
                for (auto& s : current_.substitutions) header.substitutions.push_back(std::move(s));
                advance();
            }
        }
        if (isOp(";")) advance();
        skipNewlines();
        expectWord("do");
        auto tree = link(ListOp::then, ArgvTree{std::move(header)}, parseBody());
        expectWord("done");
        return tree;
    }

    // case WORD in [(]PATTERN[|PATTERN]...) LIST ;; ... esac. The subject is kept as a command
    // "case WORD" for its substitutions; every branch may run.
    ArgvTree parseCase() {
        ArgvTree::Command header;
        header.argv.push_back(current_.text);
        advance();
        if (current_.kind != TokenKind::word) throw Unsupported{};
        header.argv.push_back(current_.text);
        header.substitutions = std::move(current_.substitutions);
        advance();
        skipNewlines();
        expectWord("in");
        ArgvTree tree{std::move(header)};
        for (;;) {
            skipNewlines();
            if (isWord("esac")) break;
            if (isOp("(")) advance();
            for (;;) {
                if (current_.kind != TokenKind::word) throw Unsupported{};
                advance();
                if (!isOp("|")) break;
                advance();
            }
            if (!isOp(")")) throw Unsupported{};
            advance();
            skipNewlines();
            if (!isCaseEnd() && !isWord("esac")) tree = link(ListOp::then, std::move(tree), parseList());
            skipNewlines();
            if (isCaseEnd()) {
                advance();
            } else if (!isWord("esac")) {
                throw Unsupported{};
            }
        }
        advance();
        return tree;
    }

    // A function's body is taken as run: the line may call it.
    ArgvTree functionBody() {
        if (isOp("(")) {
            advance();
            if (!isOp(")")) throw Unsupported{};
            advance();
        }
        skipNewlines();
        if (!isOp("(") && !isWord("{") && !isWord("if") && !isWord("while") && !isWord("until") && !isWord("for") &&
            !isWord("case")) {
            throw Unsupported{};
        }
        return parseCommand();
    }

    // [[ EXPRESSION ]]: its operators are words here, not list or redirection operators.
    ArgvTree parseTest() {
        ArgvTree::Command test;
        for (;;) {
            if (current_.kind == TokenKind::end) throw Unsupported{};
            if (current_.kind != TokenKind::newline) test.argv.push_back(current_.text);
            for (auto& s : current_.substitutions) test.substitutions.push_back(std::move(s));
            const bool closing = isWord("]]");
            advance();
            if (closing) break;
        }
        return ArgvTree{std::move(test)};
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
            if (sawWord && command.argv.size() == 1 && command.env.empty() && command.redirects.empty() && isOp("(")) {
                return functionBody();
            }
        }
        if (!sawWord && command.env.empty() && command.redirects.empty()) throw Unsupported{};
        unwrap(command);
        return ArgvTree{std::move(command)};
    }

    void moveSubstitutions(ArgvTree::Command& command) {
        for (auto& s : pendingSubstitutions_) command.substitutions.push_back(std::move(s));
        pendingSubstitutions_.clear();
    }

    static bool splitsString(std::string_view arg) {
        return arg == "-S" || arg == "--split-string" || arg.starts_with("--split-string=") ||
               (arg.size() > 2 && arg.starts_with("-S"));
    }

public:
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
                // "env -S 'a b'" runs the words of its value.
                if (wrapper->name == "env" && splitsString(arg)) {
                    auto value = arg == "-S" || arg == "--split-string"
                                     ? (next + 1 < argv.size() ? argv[next + 1] : std::string())
                                     : arg.substr(arg[1] == 'S' ? 2 : std::string_view("--split-string=").size());
                    const auto taken = (arg == "-S" || arg == "--split-string") ? 2 : 1;
                    const auto words = splitBlanks(value);
                    const auto end = std::min(argv.size(), next + static_cast<std::size_t>(taken));
                    argv.erase(argv.begin() + static_cast<std::ptrdiff_t>(next), argv.begin() + static_cast<std::ptrdiff_t>(end));
                    argv.insert(argv.begin() + static_cast<std::ptrdiff_t>(next), words.begin(), words.end());
                    continue;
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

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    int depth_ = 0;
    Budget& budget_;
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
        Budget budget;
        return Parser(line, 0, budget).parseAll();
    } catch (const Unsupported&) {
        return ArgvTree{ArgvTree::Unparsed{std::string(line)}};
    } catch (const std::out_of_range&) {
        return ArgvTree{ArgvTree::Unparsed{std::string(line)}};
    }
}

void unwrapWrappers(ArgvTree::Command& command) { Parser::unwrap(command); }

std::vector<std::string> splitBlanks(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n') {
            if (!word.empty()) words.push_back(std::move(word));
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) words.push_back(std::move(word));
    return words;
}

std::vector<ObfuscationFlag> obfuscationFlags(std::string_view line) { return obfuscationFlags(line, parseShell(line)); }

std::vector<ObfuscationFlag> obfuscationFlags(std::string_view line, const ArgvTree& tree) {
    std::vector<ObfuscationFlag> flags;
    const auto lower = asciiLower(line);
    if (contains(lower, "base64 -d") || contains(lower, "base64 --decode") || contains(line, "base64 -D") ||
        contains(lower, "b64decode") || contains(lower, "frombase64string")) {
        flags.push_back(ObfuscationFlag::base64Decode);
    }
    if (hasHexEscape(line) || contains(lower, "xxd -r")) flags.push_back(ObfuscationFlag::hexEscape);
    bool indirection = contains(line, "${!");
    bool dynamicEval = false;
    treeFlags(tree, indirection, dynamicEval);
    if (indirection) flags.push_back(ObfuscationFlag::varIndirection);
    if (dynamicEval) flags.push_back(ObfuscationFlag::evalDynamic);
    return flags;
}

ShellAction shellAction(std::string_view line, std::string_view cwd) {
    ShellAction action;
    action.raw = std::string(line);
    action.cwd = std::string(cwd);
    action.argvTree = parseShell(line);
    action.obfuscation = obfuscationFlags(line, action.argvTree);
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

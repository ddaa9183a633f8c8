#include "ui/automation/command_words.hpp"

namespace vardex::ui {

Result<std::vector<std::string>, std::string> splitWords(std::string_view line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    enum class Quote { none, single, dbl } quote = Quote::none;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        switch (quote) {
            case Quote::single:
                if (c == '\'') quote = Quote::none;
                else word += c;
                continue;
            case Quote::dbl:
                if (c == '"') {
                    quote = Quote::none;
                } else if (c == '\\' && i + 1 < line.size() && std::string_view("\\\"$`").find(line[i + 1]) != std::string_view::npos) {
                    word += line[++i];
                } else {
                    word += c;
                }
                continue;
            case Quote::none: break;
        }
        if (c == ' ' || c == '\t' || c == '\r') {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == '\'') {
            quote = Quote::single;
        } else if (c == '"') {
            quote = Quote::dbl;
        } else if (c == '\\') {
            if (i + 1 < line.size()) word += line[++i];
        } else {
            word += c;
        }
    }
    if (quote != Quote::none) return fail(std::string("unclosed quote"));
    if (inWord) words.push_back(std::move(word));
    return words;
}

}  // namespace vardex::ui

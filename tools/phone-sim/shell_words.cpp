#include "tools/phone-sim/shell_words.h"

namespace phonesim {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string unexpected(std::string_view what) {
    return "syntax error: '" + std::string(what) + "' unexpected";
}

} // namespace

CommandLine parseCommandLine(std::string_view text) {
    CommandLine line;
    SimpleCommand current;
    std::string word;
    bool inWord = false; // a word has begun (possibly empty, as with '')
    std::string pendingJoiner;

    auto endWord = [&] {
        if (inWord) current.words.push_back(std::move(word));
        word.clear();
        inWord = false;
    };
    // `op` ends the command being read: ";", "&&", "||", "\n" or "" (the end).
    auto endCommand = [&](const std::string &op) -> bool {
        endWord();
        if (current.words.empty()) {
            if (op == ";" || op == "&&" || op == "||") {
                line.error = unexpected(op);
                return false;
            }
            if (op.empty() && (pendingJoiner == "&&" || pendingJoiner == "||")) {
                line.error = unexpected("end of file");
                return false;
            }
            return true; // a blank line
        }
        if (line.commands.empty()) current.joiner.clear();
        else current.joiner = (pendingJoiner.empty() || pendingJoiner == "\n") ? std::string(";") : pendingJoiner;
        line.commands.push_back(std::move(current));
        current = SimpleCommand();
        pendingJoiner = op;
        return true;
    };

    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        const char c = text[i];
        if (isBlank(c)) {
            endWord();
            ++i;
        } else if (c == '\n') {
            if (!endCommand("\n")) return line;
            ++i;
        } else if (c == '#' && !inWord) {
            while (i < n && text[i] != '\n') ++i;
        } else if (c == '\'') {
            const size_t close = text.find('\'', i + 1);
            if (close == std::string_view::npos) {
                line.error = "syntax error: unterminated quoted string";
                return line;
            }
            word.append(text.substr(i + 1, close - i - 1));
            inWord = true;
            i = close + 1;
        } else if (c == '"') {
            inWord = true;
            ++i;
            bool closed = false;
            while (i < n) {
                const char d = text[i];
                if (d == '"') {
                    closed = true;
                    ++i;
                    break;
                }
                if (d == '\\' && i + 1 < n) {
                    const char e = text[i + 1];
                    if (e == '$' || e == '`' || e == '"' || e == '\\') {
                        word.push_back(e);
                        i += 2;
                        continue;
                    }
                    if (e == '\n') {
                        i += 2;
                        continue;
                    }
                    word.push_back('\\');
                    ++i;
                    continue;
                }
                if (d == '$' || d == '`') {
                    line.error = std::string("syntax error: '") + d + "' expansions are not supported";
                    return line;
                }
                word.push_back(d);
                ++i;
            }
            if (!closed) {
                line.error = "syntax error: unterminated quoted string";
                return line;
            }
        } else if (c == '\\') {
            if (i + 1 >= n) {
                // A trailing backslash stands for itself.
                word.push_back('\\');
                inWord = true;
                ++i;
            } else if (text[i + 1] == '\n') {
                i += 2;
            } else {
                word.push_back(text[i + 1]);
                inWord = true;
                i += 2;
            }
        } else if (c == ';') {
            if (i + 1 < n && text[i + 1] == ';') {
                line.error = unexpected(";;");
                return line;
            }
            if (!endCommand(";")) return line;
            ++i;
        } else if (c == '&' && i + 1 < n && text[i + 1] == '&') {
            if (!endCommand("&&")) return line;
            i += 2;
        } else if (c == '|' && i + 1 < n && text[i + 1] == '|') {
            if (!endCommand("||")) return line;
            i += 2;
        } else if (c == '|' || c == '&' || c == '<' || c == '>' || c == '(' || c == ')' || c == '`' || c == '$') {
            line.error = std::string("syntax error: '") + c + "' is not supported";
            return line;
        } else {
            word.push_back(c);
            inWord = true;
            ++i;
        }
    }
    endCommand("");
    return line;
}

std::vector<std::string> splitWords(std::string_view text, std::string *error) {
    CommandLine line = parseCommandLine(text);
    if (!line.ok()) {
        if (error) *error = line.error;
        return {};
    }
    if (line.commands.size() > 1) {
        if (error) *error = "several commands where one was expected";
        return {};
    }
    if (error) error->clear();
    if (line.commands.empty()) return {};
    return std::move(line.commands.front().words);
}

std::string quoteWord(std::string_view word) {
    std::string quoted = "'";
    for (char c : word) {
        if (c == '\'') quoted += "'\\''";
        else quoted.push_back(c);
    }
    quoted.push_back('\'');
    return quoted;
}

} // namespace phonesim

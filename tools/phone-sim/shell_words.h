#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace phonesim {

// One simple command of a command line and how it joins the one before it
// ("" for the first, ";" , "&&" or "||").
struct SimpleCommand {
    std::string joiner;
    std::vector<std::string> words;
};

struct CommandLine {
    std::vector<SimpleCommand> commands;
    std::string error; // a syntax error (as the phone's shell words it); empty when fine
    bool ok() const { return error.empty(); }
};

// Splits a command line with the POSIX quoting rules: '...' is literal, "..."
// keeps all but \ before $ ` " \ and newline, a backslash outside quotes
// takes the next character literally, # at the start of a word begins a
// comment. Commands may be joined with ; && || or newlines. Expansions,
// pipes, redirections and the like are refused: nothing here is ever run by
// a real shell.
CommandLine parseCommandLine(std::string_view text);

// The words of a line holding a single command; `error` gets the syntax
// error (also when the line joins several commands).
std::vector<std::string> splitWords(std::string_view text, std::string *error = nullptr);

// Quotes a word so that splitWords gives it back unchanged.
std::string quoteWord(std::string_view word);

} // namespace phonesim

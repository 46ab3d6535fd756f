// The words of a command line the parser could not place: a mistyped
// sub-command or option is named, with the nearest known name suggested.
#pragma once

#include <string>
#include <vector>

namespace cli {

// An option as the command line takes it.
struct OptionWord {
    std::string name;  // "--chip", "-o"
    int values = 0;    // 0 none, 1 one, -1 one when the next word can be one
};

// The options of the program or of one sub-command.
struct CommandWords {
    std::string name;  // empty for the program itself
    std::vector<OptionWord> options;
};

// The first word of `args` (the command line without the program's name)
// that is no option of the program or of its sub-command, or the first
// plain word before any sub-command that names none:
// "unknown option '--chp'; did you mean '--chip'?", "unknown command 'reed';
// did you mean 'read'?". Empty when every word has its place.
std::string UnknownWord(const std::vector<std::string>& args, const CommandWords& program,
                        const std::vector<CommandWords>& commands);

}  // namespace cli

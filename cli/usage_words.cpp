#include "cli/usage_words.h"

#include <algorithm>
#include <cctype>

namespace cli {
namespace {

// The edits (insert, delete, change one character) from `a` to `b`.
std::size_t Distance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// "; did you mean 'read'?" for the nearest of `names` close enough to be a slip.
std::string Nearest(const std::string& word, const std::vector<std::string>& names) {
    std::string best;
    std::size_t bestDistance = std::max<std::size_t>(2, word.size() / 3) + 1;
    for (const std::string& name : names) {
        const std::size_t d = Distance(word, name);
        if (d < bestDistance) {
            bestDistance = d;
            best = name;
        }
    }
    return best.empty() ? std::string() : "; did you mean '" + best + "'?";
}

const OptionWord* Find(const CommandWords* words, const std::string& name) {
    if (words == nullptr) return nullptr;
    const auto it = std::find_if(words->options.begin(), words->options.end(),
                                 [&name](const OptionWord& o) { return o.name == name; });
    return it == words->options.end() ? nullptr : &*it;
}

bool IsOption(const std::string& word) {
    return word.size() > 1 && word[0] == '-' && !std::isdigit(static_cast<unsigned char>(word[1]));
}

}  // namespace

std::string UnknownWord(const std::vector<std::string>& args, const CommandWords& program,
                        const std::vector<CommandWords>& commands) {
    const CommandWords* command = nullptr;
    const auto named = [&commands](const std::string& word) -> const CommandWords* {
        for (const CommandWords& c : commands)
            if (c.name == word) return &c;
        return nullptr;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word == "--") break;
        if (IsOption(word)) {
            const bool isLong = word.compare(0, 2, "--") == 0;
            const std::size_t equals = word.find('=');
            const std::string name = isLong ? word.substr(0, equals) : word.substr(0, 2);
            // A sub-command's options first; the program's reach it too.
            const OptionWord* option = Find(command, name);
            if (option == nullptr) option = Find(&program, name);
            if (option == nullptr) {
                std::vector<std::string> known;
                for (const CommandWords* words : {command, &program})
                    if (words)
                        for (const OptionWord& o : words->options) known.push_back(o.name);
                return "unknown option '" + name + "'" + Nearest(name, known);
            }
            const bool attached = isLong ? equals != std::string::npos : word.size() > 2;
            const bool next = i + 1 < args.size() && !IsOption(args[i + 1]) && named(args[i + 1]) == nullptr;
            if (!attached && (option->values == 1 || (option->values < 0 && next))) ++i;
            continue;
        }
        if (command != nullptr) continue;  // the sub-command's own words
        command = named(word);
        if (command == nullptr) {
            std::vector<std::string> known;
            for (const CommandWords& c : commands) known.push_back(c.name);
            return "unknown command '" + word + "'" + Nearest(word, known);
        }
    }
    return {};
}

}  // namespace cli

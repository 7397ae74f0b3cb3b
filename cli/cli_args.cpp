#include "cli/cli_args.h"

namespace tarvik::cli {

const std::vector<std::string>& CliArgs::All(const std::string& name) const {
    static const std::vector<std::string> kNone;
    const auto it = values.find(name);
    return it == values.end() ? kNone : it->second;
}

std::optional<std::string> CliArgs::One(const std::string& name) const {
    const auto& all = All(name);
    if (all.empty()) return std::nullopt;
    return all.back();
}

std::optional<CliArgs> ParseArgs(const std::string& command, const std::vector<std::string>& words,
                                 const CommandOptions& options, std::string& error) {
    CliArgs args;
    args.command = command;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word.rfind("--", 0) != 0) {
            args.positional.push_back(word);
            continue;
        }
        std::string name = word;
        std::optional<std::string> inlineValue;
        if (const auto eq = word.find('='); eq != std::string::npos) {
            name = word.substr(0, eq);
            inlineValue = word.substr(eq + 1);
        }
        if (options.flags.count(name)) {
            if (inlineValue) {
                error = name + " takes no value";
                return std::nullopt;
            }
            args.flags.insert(name);
        } else if (options.multiValued.count(name)) {
            auto& list = args.values[name];
            if (inlineValue) list.push_back(*inlineValue);
            while (i + 1 < words.size() && words[i + 1].rfind("--", 0) != 0)
                list.push_back(words[++i]);
            if (list.empty()) {
                error = name + " needs at least one value";
                return std::nullopt;
            }
        } else if (options.valued.count(name)) {
            if (inlineValue) {
                args.values[name].push_back(*inlineValue);
            } else if (i + 1 < words.size()) {
                args.values[name].push_back(words[++i]);
            } else {
                error = name + " needs a value";
                return std::nullopt;
            }
        } else {
            error = "unknown option " + name + " for " + command;
            return std::nullopt;
        }
    }
    return args;
}

}  // namespace tarvik::cli

#pragma once
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tarvik::cli {

// Exit statuses of every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Options after the command word: "--name VALUE" for the options a command declares as
// taking values (repeatable), "--flag" for the others.
struct CliArgs {
    std::string command;
    std::map<std::string, std::vector<std::string>> values;
    std::set<std::string> flags;
    std::vector<std::string> positional;

    const std::vector<std::string>& All(const std::string& name) const;
    std::optional<std::string> One(const std::string& name) const;
    bool Has(const std::string& flag) const { return flags.count(flag) != 0; }
};

struct CommandOptions {
    std::set<std::string> valued;  // take a value
    std::set<std::string> flags;   // stand alone
    // Options that take every following word up to the next option (--select a b c).
    std::set<std::string> multiValued;
};

// Parses argv after the command word; on error returns nothing and sets error.
std::optional<CliArgs> ParseArgs(const std::string& command, const std::vector<std::string>& words,
                                 const CommandOptions& options, std::string& error);

}  // namespace tarvik::cli

#pragma once
#include <string>
#include <vector>

#include "cli/cli_args.h"

namespace tarvik::cli {

int RunDisksCommand(const std::vector<std::string>& words);
int RunDrivesCommand(const std::vector<std::string>& words);
int RunScanCommand(const std::vector<std::string>& words);
int RunRecoverCommand(const std::vector<std::string>& words);

// "tarvik-cli: reason" on stderr; returns the failure status.
int Fail(const std::string& reason);
int UsageError(const std::string& reason);

// Fills the disk table from the --disk paths (after checking each can be read),
// TARVIK_DISKS and the machine's disks. Returns a failure reason for an unusable path.
std::optional<std::string> LoadDiskTable(const std::vector<std::string>& paths,
                                         bool includeSystemDisks);

}  // namespace tarvik::cli

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

}  // namespace tarvik::cli

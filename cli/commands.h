#pragma once
#include <string>
#include <vector>

#include "cli/cli_args.h"

namespace tarvik::cli {

int RunDisksCommand(const std::vector<std::string>& disks);
int RunDrivesCommand(const DriveOptions& options);
int RunScanCommand(const DriveOptions& options);
int RunRecoverCommand(const RecoverOptions& options);

// "tarvik-cli: reason" on stderr; returns the failure status.
int Fail(const std::string& reason);
int UsageError(const std::string& reason);

// Flushes what the command printed; a write error (a full disk, a closed pipe) is a
// failure of the command, said on stderr. Returns the status to end with.
int FinishOutput(int status);

}  // namespace tarvik::cli

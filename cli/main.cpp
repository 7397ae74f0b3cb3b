#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "common/reporting.h"

namespace {

constexpr const char* kHelp =
    "Usage: tarvik-cli COMMAND [OPTIONS]\n"
    "Corvane Miravel NTFS: find and recover files of NTFS drives, read-only.\n"
    "\n"
    "Commands:\n"
    "  disks [--disk PATH]...     list the physical disks (image files first)\n"
    "  drives --disk PATH [--search]\n"
    "                             list the logical drives of a disk's partition table, or\n"
    "                             search the whole disk for NTFS volumes (also done when\n"
    "                             the partition table lists none)\n"
    "  scan --disk PATH [--drive N] [--search] [--advance]\n"
    "                             scan NTFS drive N (default: the first NTFS drive) and\n"
    "                             list its normal, deleted and lost entries:\n"
    "                             KIND STATE SIZE DATE ID PARENT PATH, tab-separated;\n"
    "                             the six counters go to stderr at the end. --search\n"
    "                             takes the drives from the disk search; --advance adds\n"
    "                             the records found outside the MFT\n"
    "  recover --disk PATH [--drive N] [--search] [--advance] --out DIR\n"
    "          (--all | --deleted | --select TREEPATH...)\n"
    "          [--include PATTERN... | --exclude PATTERN...]\n"
    "                             scan drive N, then write all its files, its deleted\n"
    "                             files, or the selected ones (paths as scan lists them,\n"
    "                             \"Root/Documents\": a folder with everything inside it)\n"
    "                             into DIR/Root with their folders and dates; patterns\n"
    "                             such as *.doc or report.* narrow the files written.\n"
    "                             Prints: Written N files, B bytes; skipped N filtered,\n"
    "                             N empty; unreadable sectors N. DIR may not lie on the\n"
    "                             disk being read\n"
    "\n"
    "Disks are read-only. --disk names a disk image or a block device; more may be given\n"
    "in TARVIK_DISKS, separated by ':'.\n"
    "Exit status: 0 success, 1 failure (the reason on stderr; for recover also nothing\n"
    "written or the destination refused), 2 usage error.\n";

}  // namespace

namespace {

int RunCommand(const std::string& command, const std::vector<std::string>& words) {
    if (command == "disks") return tarvik::cli::RunDisksCommand(words);
    if (command == "drives") return tarvik::cli::RunDrivesCommand(words);
    if (command == "scan") return tarvik::cli::RunScanCommand(words);
    if (command == "recover") return tarvik::cli::RunRecoverCommand(words);
    return tarvik::cli::UsageError("unknown command '" + command + "' (see --help)");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kHelp, stderr);
        return tarvik::cli::kExitUsage;
    }
    const std::string command = argv[1];
    const std::vector<std::string> words(argv + 2, argv + argc);
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kHelp, stdout);
        return tarvik::cli::kExitOk;
    }
    try {
        return RunCommand(command, words);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "%s: Error Allocating Memory,Increase Virtual Memory\n",
                     tarvik::kAppCaption);
        return tarvik::cli::kExitFailure;
    }
}

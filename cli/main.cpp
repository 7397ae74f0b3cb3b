#include <CLI/CLI.hpp>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "common/reporting.h"
#include "common/version.h"

namespace {

using tarvik::cli::DriveOptions;
using tarvik::cli::RecoverOptions;

constexpr const char* kFooter =
    "Disks are only read, never written. --disk names a disk image or a block device;\n"
    "more may be given in TARVIK_DISKS, separated by ':'.\n"
    "Exit status: 0 success; 1 failure (one line on stderr says why); 2 usage error;\n"
    "3 recovered in part: some files unreadable (not written) or partly unreadable\n"
    "(written with zeros where sectors could not be read); 130 interrupted (Ctrl-C):\n"
    "a file the recovery was writing is removed.";

void AddDriveOptions(CLI::App& command, DriveOptions& options, bool withDrive) {
    command.add_option("--disk", options.disk, "disk image file or block device")
        ->required()
        ->option_text("PATH");
    if (withDrive) {
        command
            .add_option("--drive", options.drive,
                        "logical drive N as `drives` lists it (default: the first drive "
                        "whose boot sector validates as NTFS)")
            ->check(CLI::PositiveNumber)
            ->option_text("N");
    }
    command.add_flag("--search", options.search,
                     "take the drives from a search of the whole disk for NTFS volumes");
    if (withDrive) {
        command.add_flag("--advance", options.advance,
                         "add the records found outside the MFT (the Advance Search)");
        command.add_flag("--deep", options.deep,
                         "walk every folder's index too, for names that only a stale "
                         "index entry still holds, and read the bytes of deleted files "
                         "no record claims for signs of a later writer (slower: index "
                         "blocks and file data lie all over the disk)");
        command
            .add_option("--shadow", options.shadow,
                        "read the drive's Volume Shadow Copy K as `drives` lists it: the "
                        "volume as it was when the copy was made")
            ->check(CLI::PositiveNumber)
            ->option_text("K");
        command.add_flag("--carve", options.carve,
                         "add the files found by their content in free clusters, under "
                         "\"Carved Files\" (JPEG, PNG, GIF, BMP, PDF, ZIP and Office, WAV, "
                         "AVI, MP4, SQLite)");
    }
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tarvik::cli;
    CLI::App app{
        "Corvane Miravel NTFS: find and recover deleted and lost files of NTFS "
        "drives, read-only.",
        "tarvik-cli"};
    app.set_version_flag("--version", std::string("tarvik-cli ") + tarvik::kVersion);
    app.footer(kFooter);
    app.require_subcommand(1);
    // One line per usage error, as for every other failure.
    app.failure_message([](const CLI::App*, const CLI::Error& error) {
        return std::string("tarvik-cli: ") + error.what() + " (see --help)\n";
    });

    std::vector<std::string> disks;
    CLI::App* disksCommand = app.add_subcommand(
        "disks",
        "list the physical disks (the --disk images first): number, model, serial, "
        "sectors, path");
    disksCommand->add_option("--disk", disks, "a disk image or block device to list first")
        ->option_text("PATH ...");

    DriveOptions drivesOptions;
    CLI::App* drivesCommand =
        app.add_subcommand("drives",
                           "list the logical drives of a disk: number, file system, start sector, "
                           "sectors, size, and whether the boot sector validates as NTFS "
                           "(valid/invalid); under an NTFS drive, a line per Volume Shadow "
                           "Copy with its creation time");
    AddDriveOptions(*drivesCommand, drivesOptions, false);

    DriveOptions scanOptions;
    CLI::App* scanCommand = app.add_subcommand(
        "scan",
        "scan an NTFS drive and list its normal, deleted and lost entries, "
        "tab-separated: KIND STATE SIZE DATE ID PARENT PATH CONDITION MODIFIED (DATE: "
        "creation time, ISO 8601 UTC; MODIFIED: last write, to 100 ns; CONDITION: - for a "
        "folder); the six counters go to stderr");
    AddDriveOptions(*scanCommand, scanOptions, true);
    CLI::Option* saveScan =
        scanCommand
            ->add_option("--save", scanOptions.saveScan,
                         "keep the scan in FILE (its entries, their conditions and the disk's "
                         "identity), for `recover --scan`")
            ->option_text("FILE");

    RecoverOptions recoverOptions;
    CLI::App* recoverCommand =
        app.add_subcommand("recover",
                           "scan a drive, then write all its files, its deleted files or the "
                           "selected ones into DIR/Root with their folders and dates. Prints: "
                           "Written N files, B bytes; skipped N filtered, N empty; unreadable "
                           "sectors N; a line counts the unreadable files (not written) and the "
                           "partly unreadable ones when there are any; with --condition, a line "
                           "counts the files it passed over. An existing file is never "
                           "overwritten: the new one is "
                           "named \"NAME (2)\" and so on");
    AddDriveOptions(*recoverCommand, recoverOptions.drive, true);
    CLI::Option* savedScan =
        recoverCommand
            ->add_option("--scan", recoverOptions.drive.savedScan,
                         "recover from a scan kept by `scan --save` instead of scanning; --disk "
                         "names the same disk (or an image of it), and another one is refused")
            ->option_text("FILE");
    recoverCommand
        ->add_option("--out", recoverOptions.out,
                     "destination folder; it may not lie on the disk being read")
        ->required()
        ->option_text("DIR");
    CLI::Option* all = recoverCommand->add_flag("--all", recoverOptions.all, "every file");
    CLI::Option* deleted =
        recoverCommand->add_flag("--deleted", recoverOptions.deleted, "the deleted files");
    CLI::Option* select =
        recoverCommand
            ->add_option("--select", recoverOptions.select,
                         "entries by their path as `scan` lists them (\"Root/Documents\": a "
                         "folder with everything inside it)")
            ->option_text("TREEPATH ...");
    all->excludes(deleted)->excludes(select);
    deleted->excludes(select);
    CLI::Option* include =
        recoverCommand
            ->add_option("--include", recoverOptions.include,
                         "write only files whose names match a pattern (*.doc, report.*)")
            ->option_text("PATTERN ...");
    CLI::Option* exclude = recoverCommand
                               ->add_option("--exclude", recoverOptions.exclude,
                                            "write no file whose name matches a pattern")
                               ->option_text("PATTERN ...");
    include->excludes(exclude);
    // A kept scan names its disk and volume, not which shadow copy it was read from.
    savedScan->excludes("--advance")->excludes("--shadow");
    saveScan->excludes("--shadow");
    recoverCommand
        ->add_option("--condition", recoverOptions.condition,
                     "write only intact files, all but the wholly overwritten and the "
                     "unreadable (partial), or any (the default)")
        ->check(CLI::IsMember({"intact", "partial", "any"}))
        ->option_text("intact|partial|any");
    recoverCommand
        ->add_option("--report", recoverOptions.report,
                     "save a tab-separated report: one row per file written with its path, "
                     "size, SHA-256, condition, record number, four times and unreadable "
                     "sectors")
        ->option_text("FILE");

    recoverCommand->add_flag(
        "--all-versions", recoverOptions.allVersions,
        "also write every other version of the chosen files that the drive's shadow copies "
        "hold, beside the live file: \"report (shadow 2013-12-03 0637).docx\"; the report's "
        "SOURCE column names where each file was read from");
    recoverCommand->add_flag("--force-destination", recoverOptions.forceDestination,
                             "write into --out (and --report) even when their file system keeps "
                             "its data where it cannot be told apart from the disk being read "
                             "(sshfs, zfs, an NFS share of this machine); never onto the disk "
                             "itself");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? kExitOk : kExitUsage;
    }

    try {
        if (*disksCommand) return RunDisksCommand(disks);
        if (*drivesCommand) return RunDrivesCommand(drivesOptions);
        if (*scanCommand) return RunScanCommand(scanOptions);
        return RunRecoverCommand(recoverOptions);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "%s: Error Allocating Memory,Increase Virtual Memory\n",
                     tarvik::kAppCaption);
        return kExitFailure;
    }
}

#include "disk/sector_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "disk/disk_table.h"

namespace tarvik {

int OpenDiskDevice(DriveCode code) {
    const auto entry = Disks().EntryFor(code);
    if (!entry) return -1;
    return ::open(entry->path.c_str(), O_RDONLY | O_CLOEXEC);
}

namespace {

// Reads until the request is filled, the end of the device, or an error.
// Returns the bytes delivered, or -1 when the first read already failed.
long long ReadFully(int fd, std::uint64_t offset, std::uint8_t* buffer, std::uint32_t byteCount) {
    std::uint64_t done = 0;
    while (done < byteCount) {
        const ssize_t got =
            ::pread(fd, buffer + done, byteCount - done, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) continue;
            return done == 0 ? -1 : static_cast<long long>(done);
        }
        if (got == 0) break;
        done += static_cast<std::uint64_t>(got);
    }
    return static_cast<long long>(done);
}

}  // namespace

bool ReadSectorsOnce(DriveCode code, std::uint32_t sectorLow, std::uint32_t sectorHigh,
                     void* buffer, std::uint32_t byteCount) {
    const int fd = OpenDiskDevice(code);
    if (fd < 0) return false;
    const std::uint64_t sector = (static_cast<std::uint64_t>(sectorHigh) << 32) | sectorLow;
    if (sector > (static_cast<std::uint64_t>(INT64_MAX) / kSectorSize)) {
        ::close(fd);
        return false;
    }
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    const long long got = ReadFully(fd, sector * kSectorSize, bytes, byteCount);
    ::close(fd);
    if (got < 0 || (got == 0 && byteCount > 0)) return false;
    if (static_cast<std::uint64_t>(got) < byteCount) {
        std::memset(bytes + got, 0, byteCount - static_cast<std::uint64_t>(got));
    }
    return true;
}

int ReadSectorsWith(const ReadAttempt& attempt, DriveCode code, std::uint32_t sectorLow,
                    std::uint32_t sectorHigh, void* buffer, std::uint32_t byteCount) {
    for (int tries = 0; tries < kReadAttempts; ++tries) {
        if (attempt(code, sectorLow, sectorHigh, buffer, byteCount)) return 1;
    }
    return 0;
}

int ReadSectors(DriveCode code, std::uint32_t sectorLow, std::uint32_t sectorHigh, void* buffer,
                std::uint32_t byteCount) {
    return ReadSectorsWith(ReadSectorsOnce, code, sectorLow, sectorHigh, buffer, byteCount);
}

}  // namespace tarvik

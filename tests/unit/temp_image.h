#pragma once
// Disk images for tests: a temporary file that is removed again, written sector by
// sector, and read as a disk.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "disk/disk.h"

namespace tarvik::testing {

class TempImage {
  public:
    explicit TempImage(std::uint64_t sectors = 0) {
        char pattern[] = "/tmp/tarvik-test-XXXXXX";
        const int fd = ::mkstemp(pattern);
        if (fd >= 0) ::close(fd);
        path_ = pattern;
        if (sectors) std::filesystem::resize_file(path_, sectors * 512);
    }
    ~TempImage() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    TempImage(const TempImage&) = delete;
    TempImage& operator=(const TempImage&) = delete;

    const std::string& path() const { return path_; }

    void WriteBytes(std::uint64_t offset, const void* data, std::size_t size) {
        std::fstream file(path_, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>(offset));
        file.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    void WriteSector(std::uint64_t sector, const std::vector<std::uint8_t>& bytes) {
        WriteBytes(sector * 512, bytes.data(), bytes.size());
    }

  private:
    std::string path_;
};

// The disk of an image file, as a disk table would hold it at place `number`.
inline std::shared_ptr<Disk> ImageDisk(const std::string& path, std::size_t number = 0) {
    return std::make_shared<Disk>(path, true, number);
}

// The disks of image files, numbered from 0 in order.
inline std::vector<std::shared_ptr<Disk>> ImageDisks(const std::vector<std::string>& paths) {
    std::vector<std::shared_ptr<Disk>> disks;
    for (const std::string& path : paths) disks.push_back(ImageDisk(path, disks.size()));
    return disks;
}

inline void PutLe32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A partition table sector with up to four (type, relative start, size) entries.
struct TableEntry {
    std::uint8_t type;
    std::uint32_t start;
    std::uint32_t size;
};
inline std::vector<std::uint8_t> PartitionTableBytes(const std::vector<TableEntry>& entries) {
    std::vector<std::uint8_t> sector(512, 0);
    for (std::size_t i = 0; i < entries.size() && i < 4; ++i) {
        const std::size_t base = 0x1BE + 16 * i;
        sector[base + 4] = entries[i].type;
        PutLe32(sector, base + 8, entries[i].start);
        PutLe32(sector, base + 12, entries[i].size);
    }
    sector[510] = 0x55;
    sector[511] = 0xAA;
    return sector;
}

}  // namespace tarvik::testing

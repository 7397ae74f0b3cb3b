#pragma once
#include <algorithm>
#include <cstring>
#include <vector>

#include "disk/sector_source.h"

namespace tarvik {

// A drive held in memory: test fixtures and fuzz targets read whole volumes from it.
class MemorySectorSource final : public SectorSource {
  public:
    explicit MemorySectorSource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    bool Read(DriveSector sector, std::span<std::uint8_t> buffer) override {
        const std::uint64_t size = bytes_.size();
        if (sector.value() >= size / 512) return false;
        const std::uint64_t offset = sector.value() * 512;
        const std::uint64_t available = std::min<std::uint64_t>(buffer.size(), size - offset);
        // An empty buffer may have no memory at all: nothing is copied into it.
        if (buffer.empty()) return true;
        std::memcpy(buffer.data(), bytes_.data() + offset, available);
        std::memset(buffer.data() + available, 0, buffer.size() - available);
        return available == buffer.size();
    }
    std::optional<std::uint64_t> SectorCount() override { return bytes_.size() / 512; }
    std::vector<std::uint8_t>& bytes() { return bytes_; }

  private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace tarvik

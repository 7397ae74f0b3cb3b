// An INDX block from fuzz bytes (fix-up in place), and an allocation of such blocks
// read through a run table over the same bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ntfs/index_allocation_reader.h"
#include "ntfs/index_block.h"
#include "ntfs/run_list.h"

namespace {

class BytesSource final : public tarvik::SectorSource {
  public:
    explicit BytesSource(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
    bool Read(tarvik::DriveSector first, std::span<std::uint8_t> buffer) override {
        const std::uint64_t sector = first.value();
        std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
        if (sector >= bytes_.size() / 512) return true;
        const std::size_t at = static_cast<std::size_t>(sector) * 512;
        const std::size_t n = std::min(buffer.size(), bytes_.size() - at);
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(at), n, buffer.begin());
        return true;
    }

  private:
    const std::vector<std::uint8_t>& bytes_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8) return 0;
    std::vector<std::uint8_t> block(data + 8, data + size);
    if (const auto parsed = tarvik::IndexBlock::Parse(block)) {
        tarvik::ForEachAcceptedEntry(parsed->entries, [](const tarvik::IndexEntry&) {});
    }
    // The first 8 bytes are a run list over the rest (block sizes of 1 to 8 sectors).
    const std::vector<std::uint8_t> drive(data + 8, data + size);
    const auto runs = tarvik::DecodeRuns(tarvik::ByteView(data, 8), 16).runs;
    BytesSource source(drive);
    tarvik::IndexAllocationLimits limits;
    limits.maxBlocks = 64;
    limits.maxReadSectors = 64;
    tarvik::ReadIndexAllocation(
        runs, 1, 1 + data[0] % 8, source, [](const tarvik::IndexEntry&) {}, limits);
    return 0;
}

#include "ntfs/index_allocation_reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "ntfs/index_block.h"

namespace tarvik {
namespace {

constexpr std::size_t kSectorBytes = 512;

// Assembles blocks of a fixed number of sectors from the sectors handed to it in order.
class BlockAssembler {
  public:
    BlockAssembler(std::uint32_t blockSectors, const IndexEntryVisitor& visit,
                   const IndexAllocationLimits& limits, IndexAllocationResult& result)
        : block_(std::size_t{blockSectors} * kSectorBytes),
          visit_(visit),
          limits_(limits),
          result_(result) {}

    bool done() const { return result_.hitBlockLimit; }

    // Sectors read from disk (or `good` false when they could not be read).
    void AddSectors(const std::uint8_t* bytes, std::size_t sectors, bool good) {
        while (sectors > 0 && !done()) {
            const std::size_t take = std::min(sectors, BlockSectors() - filled_);
            std::memcpy(block_.data() + filled_ * kSectorBytes, bytes, take * kSectorBytes);
            bad_ = bad_ || !good;
            Advance(take);
            bytes += take * kSectorBytes;
            sectors -= take;
        }
    }

    // Sectors of a sparse run: the blocks they touch are not there.
    void AddSparse(std::uint64_t sectors) {
        while (sectors > 0 && !done()) {
            const std::uint64_t take = std::min<std::uint64_t>(sectors, BlockSectors() - filled_);
            sparse_ = true;
            Advance(static_cast<std::size_t>(take));
            sectors -= take;
        }
    }

  private:
    std::size_t BlockSectors() const { return block_.size() / kSectorBytes; }

    void Advance(std::size_t sectors) {
        filled_ += sectors;
        if (filled_ < BlockSectors()) return;
        Finish();
        filled_ = 0;
        bad_ = sparse_ = false;
    }

    void Finish() {
        if (sparse_) {
            ++result_.blocksSparse;
        } else if (bad_) {
            ++result_.blocksSkipped;
        } else if (const auto block = IndexBlock::Parse(block_)) {
            ++result_.blocksAccepted;
            result_.entriesVisited += ForEachAcceptedEntry(block->entries, visit_);
        } else {
            ++result_.blocksSkipped;
        }
        const std::size_t seen =
            result_.blocksAccepted + result_.blocksSkipped + result_.blocksSparse;
        if (seen >= limits_.maxBlocks) result_.hitBlockLimit = true;
    }

    std::vector<std::uint8_t> block_;
    std::size_t filled_ = 0;
    bool bad_ = false;
    bool sparse_ = false;
    const IndexEntryVisitor& visit_;
    const IndexAllocationLimits& limits_;
    IndexAllocationResult& result_;
};

}  // namespace

IndexAllocationResult ReadIndexAllocation(const std::vector<DataRun>& runs,
                                          std::uint32_t sectorsPerCluster,
                                          std::uint32_t blockSectors, SectorSource& source,
                                          const IndexEntryVisitor& visit,
                                          const IndexAllocationLimits& limits) {
    IndexAllocationResult result;
    if (blockSectors == 0 || limits.maxReadSectors == 0) return result;
    BlockAssembler assembler(blockSectors, visit, limits, result);
    // Whole blocks per read, so a request never ends inside a block by choice.
    const std::uint32_t chunkSectors =
        std::max(blockSectors, limits.maxReadSectors / blockSectors * blockSectors);
    std::vector<std::uint8_t> buffer;
    for (const DataRun& data : runs) {
        if (assembler.done()) break;
        const auto run = PlaceRun(data, sectorsPerCluster);
        // A run whose place overflows is no real run, and the blocks after it could not
        // be aligned.
        if (!run) break;
        if (run->sparse) {
            assembler.AddSparse(run->lengthSectors);
            continue;
        }
        for (std::uint64_t done = 0; done < run->lengthSectors && !assembler.done();) {
            const auto sectors = static_cast<std::uint32_t>(
                std::min<std::uint64_t>(chunkSectors, run->lengthSectors - done));
            buffer.assign(std::size_t{sectors} * kSectorBytes, 0);
            const bool good = source.Read(DriveSector(run->start.value() + done), buffer);
            if (!good) ++result.failedReads;
            assembler.AddSectors(buffer.data(), sectors, good);
            done += sectors;
        }
    }
    return result;
}

}  // namespace tarvik

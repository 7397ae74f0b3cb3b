// A volume's Volume Shadow Copy header, catalogue and store blocks, as a hostile or
// damaged volume holds them, read through libvshadow over our sector source: opening the
// store, listing its copies and reading each copy's first, middle and last sectors stays
// within bounds and ends, whatever the catalogue claims.
//
// An input is a volume in pieces (fuzz/sector_pieces.h). The stores lie far apart in a
// real volume, so the volume is held sparsely: up to 2^32 sectors, only the pieces given
// in memory.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

#include "disk/shadow_copy_store.h"
#include "fuzz/sector_pieces.h"

namespace {

// Sectors by number; every sector no piece gives is zeros.
class SparseSectorSource final : public tarvik::SectorSource {
  public:
    SparseSectorSource(const std::uint8_t* data, std::size_t size) {
        sectors_ = std::max<std::uint64_t>(tarvik::fuzz::StatedSectors(data), 1);
        tarvik::fuzz::ForEachPiece(data, size, [this](std::uint64_t first, auto bytes) {
            for (std::size_t s = 0; s * 512 < bytes.size(); ++s) {
                auto& sector = pieces_[first + s];
                sector.assign(512, 0);
                std::memcpy(sector.data(), bytes.data() + s * 512,
                            std::min<std::size_t>(512, bytes.size() - s * 512));
            }
        });
    }
    bool Read(tarvik::DriveSector sector, std::span<std::uint8_t> buffer) override {
        std::fill(buffer.begin(), buffer.end(), 0);
        const std::uint64_t count = buffer.size() / 512;
        if (sector.value() >= sectors_ || count > sectors_ - sector.value()) return false;
        for (auto it = pieces_.lower_bound(sector.value());
             it != pieces_.end() && it->first < sector.value() + count; ++it)
            std::memcpy(buffer.data() + (it->first - sector.value()) * 512, it->second.data(), 512);
        return true;
    }
    std::optional<std::uint64_t> SectorCount() override { return sectors_; }
    std::uint64_t sectors() const { return sectors_; }

  private:
    std::uint64_t sectors_ = 1;
    std::map<std::uint64_t, std::vector<std::uint8_t>> pieces_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    auto volume = std::make_unique<SparseSectorSource>(data, size);
    const std::uint64_t bytes = volume->sectors() * 512;
    const tarvik::ShadowStoreOpening opening =
        tarvik::ShadowCopyStore::Open(std::move(volume), bytes);
    if (!opening.store) return 0;
    std::vector<std::uint8_t> buffer(64 << 10);
    for (const tarvik::ShadowCopyInfo& copy : opening.store->Copies()) {
        const auto source = opening.store->CopySource(copy.number);
        const std::uint64_t sectors = source->SectorCount().value_or(0);
        for (const std::uint64_t at :
             {std::uint64_t{0}, sectors / 2, sectors > 128 ? sectors - 128 : 0})
            source->Read(tarvik::DriveSector(at), buffer);
    }
    return 0;
}

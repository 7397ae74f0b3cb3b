// The shadow copies are read by libvshadow through a libbfio handle whose reads go to
// the volume's sector source: the library sees the volume's bytes, never a file name, so
// a copy is read through the same read-only road (and retries) as the drive itself.
#include "disk/shadow_copy_store.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <set>

#include "disk/vss_volume_header.h"

#ifdef TARVIK_HAVE_LIBVSHADOW
#include <libbfio.h>
#include <libvshadow.h>
#endif

namespace tarvik {

#ifdef TARVIK_HAVE_LIBVSHADOW

namespace {

// The first line of a library error, freed.
std::string TakeError(libvshadow_error_t*& error) {
    if (error == nullptr) return "no reason given";
    std::array<char, 512> text{};
    std::string line = "no reason given";
    if (libvshadow_error_sprint(error, text.data(), text.size()) > 0) {
        line.assign(text.data(), strnlen(text.data(), text.size()));
        if (const auto end = line.find('\n'); end != std::string::npos) line.resize(end);
    }
    libvshadow_error_free(&error);
    return line;
}

}  // namespace

// The open library objects and the volume they read, shared by the store and every copy
// source made from it; one mutex orders their reads (they share the handle's position).
struct ShadowCopyStore::Library {
    // Reads of the volume go through at most this many bytes at a time.
    static constexpr std::size_t kMaxReadBytes = 1u << 20;

    std::unique_ptr<SectorSource> volume;
    std::uint64_t volumeBytes = 0;
    std::uint64_t position = 0;
    bool open = false;
    std::mutex mutex;
    libbfio_handle_t* io = nullptr;
    libvshadow_volume_t* vss = nullptr;
    std::vector<libvshadow_store_t*> stores;

    ~Library() {
        for (libvshadow_store_t*& store : stores) libvshadow_store_free(&store, nullptr);
        if (vss != nullptr) {
            libvshadow_volume_close(vss, nullptr);
            libvshadow_volume_free(&vss, nullptr);
        }
        if (io != nullptr) libbfio_handle_free(&io, nullptr);
    }

    // Up to n bytes at the handle's position: whole sectors are read and the part asked
    // for copied out. A sector that cannot be read ends the read there.
    ssize_t ReadVolume(std::uint8_t* to, std::size_t n) {
        if (position >= volumeBytes) return 0;
        n = static_cast<std::size_t>(std::min<std::uint64_t>(n, volumeBytes - position));
        std::vector<std::uint8_t> sectors;
        std::size_t done = 0;
        while (done < n) {
            const std::uint64_t at = position + done;
            const std::size_t skip = static_cast<std::size_t>(at % kSectorSize);
            const std::size_t piece = std::min(n - done, kMaxReadBytes - skip);
            const std::size_t span = (skip + piece + kSectorSize - 1) / kSectorSize * kSectorSize;
            sectors.resize(span);
            if (!ReadSectors(DriveSector(at / kSectorSize), sectors)) break;
            std::memcpy(to + done, sectors.data() + skip, piece);
            done += piece;
        }
        position += done;
        if (done == 0) return -1;
        return static_cast<ssize_t>(done);
    }

    // The request whole, else sector by sector up to the first that cannot be read
    // (the buffer is cut there): false when not every byte came.
    bool ReadSectors(DriveSector first, std::vector<std::uint8_t>& buffer) {
        if (volume->Read(first, buffer)) return true;
        std::size_t good = 0;
        while (good < buffer.size() && volume->Read(DriveSector(first.value() + good / kSectorSize),
                                                    std::span(buffer).subspan(good, kSectorSize)))
            good += kSectorSize;
        buffer.resize(good);
        return false;
    }

    static Library& Of(intptr_t* handle) { return *reinterpret_cast<Library*>(handle); }
    static int Open(intptr_t* handle, int flags, libbfio_error_t**) {
        if ((flags & LIBBFIO_ACCESS_FLAG_WRITE) != 0) return -1;  // never written
        Of(handle).open = true;
        Of(handle).position = 0;
        return 1;
    }
    static int Close(intptr_t* handle, libbfio_error_t**) {
        Of(handle).open = false;
        return 0;
    }
    static ssize_t Read(intptr_t* handle, std::uint8_t* buffer, std::size_t size,
                        libbfio_error_t**) {
        return Of(handle).ReadVolume(buffer, size);
    }
    static ssize_t Write(intptr_t*, const std::uint8_t*, std::size_t, libbfio_error_t**) {
        return -1;
    }
    static off64_t Seek(intptr_t* handle, off64_t offset, int whence, libbfio_error_t**) {
        Library& self = Of(handle);
        std::int64_t base = 0;
        if (whence == SEEK_CUR) base = static_cast<std::int64_t>(self.position);
        if (whence == SEEK_END) base = static_cast<std::int64_t>(self.volumeBytes);
        // Offsets come from the store's own catalogue: neither may leave the 64-bit range.
        if (offset < 0 ? offset < -base : offset > INT64_MAX - base) return -1;
        self.position = static_cast<std::uint64_t>(base + offset);
        return static_cast<off64_t>(self.position);
    }
    static int Exists(intptr_t*, libbfio_error_t**) { return 1; }
    static int IsOpen(intptr_t* handle, libbfio_error_t**) { return Of(handle).open ? 1 : 0; }
    static int GetSize(intptr_t* handle, size64_t* size, libbfio_error_t**) {
        *size = Of(handle).volumeBytes;
        return 1;
    }
};

namespace {

// One copy's volume, read through the store.
class ShadowCopySource final : public SectorSource {
  public:
    ShadowCopySource(std::shared_ptr<ShadowCopyStore::Library> library, libvshadow_store_t* store,
                     std::uint64_t bytes)
        : library_(std::move(library)), store_(store), bytes_(bytes) {}

    bool Read(DriveSector sector, std::span<std::uint8_t> buffer) override {
        std::size_t done = 0;
        const std::uint64_t offset = CheckedMul(sector.value(), kSectorSize).value_or(UINT64_MAX);
        if (offset < bytes_) {
            const std::size_t wanted =
                static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), bytes_ - offset));
            const std::lock_guard lock(library_->mutex);
            while (done < wanted) {
                const std::uint64_t at = offset + done;
                const std::uint64_t block = at / kStoreBlockBytes;
                const std::size_t piece = static_cast<std::size_t>(
                    std::min<std::uint64_t>(wanted - done, (block + 1) * kStoreBlockBytes - at));
                if (!ReadPiece(block, buffer.data() + done, piece, at)) break;
                done += piece;
            }
        }
        std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(done), buffer.end(), 0);
        return done == buffer.size();
    }
    std::optional<std::uint64_t> SectorCount() override { return bytes_ / kSectorSize; }

  private:
    // The store keeps the volume in blocks of this size.
    static constexpr std::uint64_t kStoreBlockBytes = 0x4000;
    // The library leaks a block's buffer on every failed read of a damaged store block: a
    // block that failed is not asked for again, and after this many the copy's store is
    // taken as unreadable (nothing more is asked of it).
    static constexpr std::size_t kMaxFailedBlocks = 64;

    // The bytes of one store block's piece; false when it cannot be read.
    bool ReadPiece(std::uint64_t block, std::uint8_t* to, std::size_t size, std::uint64_t at) {
        if (failed_.size() >= kMaxFailedBlocks || failed_.count(block) != 0) return false;
        std::size_t done = 0;
        while (done < size) {
            libvshadow_error_t* error = nullptr;
            const ssize_t got = libvshadow_store_read_buffer_at_offset(
                store_, to + done, size - done, static_cast<off64_t>(at + done), &error);
            if (error != nullptr) libvshadow_error_free(&error);
            if (got <= 0) {
                failed_.insert(block);
                return false;
            }
            done += static_cast<std::size_t>(got);
        }
        return true;
    }

    std::shared_ptr<ShadowCopyStore::Library> library_;
    libvshadow_store_t* store_;
    std::uint64_t bytes_;
    std::set<std::uint64_t> failed_;
};

}  // namespace

bool ShadowCopyStore::Supported() {
    return true;
}

ShadowCopyStore::~ShadowCopyStore() = default;

std::unique_ptr<SectorSource> ShadowCopyStore::CopySource(std::size_t number) {
    if (number == 0 || number > copies_.size()) return nullptr;
    const ShadowCopyInfo& copy = copies_[number - 1];
    return std::make_unique<ShadowCopySource>(library_, library_->stores[number - 1],
                                              copy.volumeBytes);
}

#else

struct ShadowCopyStore::Library {};

bool ShadowCopyStore::Supported() {
    return false;
}

ShadowCopyStore::~ShadowCopyStore() = default;

std::unique_ptr<SectorSource> ShadowCopyStore::CopySource(std::size_t) {
    return nullptr;
}

#endif

namespace {

// Sectors of 512 to 4096 bytes and a cluster of at least one sector.
bool SizesUsable(ByteView boot) {
    constexpr std::size_t kBytesPerSectorOffset = 11;
    constexpr std::size_t kSectorsPerClusterOffset = 13;
    const std::uint16_t sectorBytes = boot.u16(kBytesPerSectorOffset).value_or(0);
    return sectorBytes >= 512 && sectorBytes <= 4096 && (sectorBytes & (sectorBytes - 1)) == 0 &&
           boot.u8(kSectorsPerClusterOffset).value_or(0) != 0;
}

}  // namespace

ShadowStoreOpening ShadowCopyStore::Open(std::unique_ptr<SectorSource> volume,
                                         std::uint64_t volumeBytes) {
    std::array<std::uint8_t, kSectorSize> sector{};
    if (!volume || volumeBytes <= VssVolumeHeader::kVolumeOffset + kSectorSize ||
        !volume->Read(DriveSector(VssVolumeHeader::kVolumeOffset / kSectorSize), sector))
        return {};
    const auto header = VssVolumeHeader::Parse(ByteView(sector.data(), sector.size()));
    if (!header || !header->HasCatalogue()) return {};
    // The library reads the volume's boot sector and divides by its sector and cluster
    // sizes: a boot sector without them is refused here.
    std::array<std::uint8_t, kSectorSize> boot{};
    if (!volume->Read(DriveSector(0), boot) || !SizesUsable(ByteView(boot.data(), boot.size())))
        return {nullptr,
                "its boot sector gives no usable sector or cluster size, so its shadow "
                "copies cannot be read; they are skipped"};
    if (header->catalogueOffset >= volumeBytes)
        return {nullptr,
                "its shadow copy store is damaged (the catalogue lies past the "
                "volume's end); the shadow copies are skipped"};
#ifndef TARVIK_HAVE_LIBVSHADOW
    return {nullptr,
            "it has Volume Shadow Copies, but this build cannot read them: install the "
            "package libvshadow-dev and build again"};
#else
    auto library = std::make_shared<Library>();
    library->volume = std::move(volume);
    library->volumeBytes = volumeBytes;
    auto damaged = [](const std::string& why) {
        return ShadowStoreOpening{nullptr, "its shadow copy store is damaged and cannot be read (" +
                                               why + "); the shadow copies are skipped"};
    };
    if (libbfio_handle_initialize(&library->io, reinterpret_cast<intptr_t*>(library.get()), nullptr,
                                  nullptr, Library::Open, Library::Close, Library::Read,
                                  Library::Write, Library::Seek, Library::Exists, Library::IsOpen,
                                  Library::GetSize, LIBBFIO_FLAG_IO_HANDLE_NON_MANAGED,
                                  nullptr) != 1)
        return damaged("libbfio refused the volume");
    libvshadow_error_t* error = nullptr;
    if (libvshadow_volume_initialize(&library->vss, &error) != 1) return damaged(TakeError(error));
    if (libvshadow_volume_open_file_io_handle(library->vss, library->io, LIBVSHADOW_OPEN_READ,
                                              &error) != 1)
        return damaged(TakeError(error));
    int count = 0;
    if (libvshadow_volume_get_number_of_stores(library->vss, &count, &error) != 1)
        return damaged(TakeError(error));
    auto store = std::shared_ptr<ShadowCopyStore>(new ShadowCopyStore);
    std::string problem;
    for (int i = 0; i < count; ++i) {
        libvshadow_store_t* handle = nullptr;
        ShadowCopyInfo info;
        info.number = store->copies_.size() + 1;
        size64_t size = 0;
        if (libvshadow_volume_get_store(library->vss, i, &handle, &error) != 1 ||
            libvshadow_store_get_creation_time(handle, &info.creationTime, &error) != 1 ||
            libvshadow_store_get_volume_size(handle, &size, &error) != 1 || size == 0 ||
            libvshadow_store_has_in_volume_data(handle, &error) != 1) {
            const std::string why = TakeError(error);
            if (handle != nullptr) libvshadow_store_free(&handle, nullptr);
            if (problem.empty())
                problem = "its shadow copy " + std::to_string(i + 1) + " cannot be read (" + why +
                          ") and is skipped";
            continue;
        }
        // The copy shows the volume as it was; it is read no further than the volume goes.
        info.volumeBytes = std::min<std::uint64_t>(size, volumeBytes);
        library->stores.push_back(handle);
        store->copies_.push_back(info);
    }
    store->library_ = std::move(library);
    if (store->copies_.empty()) return {nullptr, problem};
    return {std::move(store), problem};
#endif
}

}  // namespace tarvik

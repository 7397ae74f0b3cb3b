#include "carve/carve_pass.h"

#include <algorithm>
#include <cstring>

namespace tarvik {
namespace {

constexpr std::uint64_t kSectorBytes = 512;

// The bytes of one extent held from a cluster on: read in requests, moved to the front
// when a candidate needs more than is left of them.
class ExtentWindow {
  public:
    ExtentWindow(SectorSource& source, std::uint32_t sectorsPerCluster, CarveOutcome& outcome)
        : source_(source),
          spc_(sectorsPerCluster),
          clusterBytes_(spc_ * kSectorBytes),
          outcome_(outcome) {}

    void Start(const ClusterExtent& extent) {
        end_ = extent.first + extent.count;
        first_ = extent.first;
        held_ = 0;
    }

    // Holds clusters [cluster, cluster + want) where the extent has them; keeps what is
    // held of them already.
    void Hold(std::uint64_t cluster, std::uint64_t want) {
        want = std::min(want, end_ - cluster);
        if (cluster >= first_ && cluster + want <= first_ + held_) return;
        std::uint64_t kept = 0;
        if (cluster >= first_ && cluster < first_ + held_) {
            kept = first_ + held_ - cluster;
            std::memmove(bytes_.data(), bytes_.data() + (cluster - first_) * clusterBytes_,
                         kept * clusterBytes_);
        }
        bytes_.resize(want * clusterBytes_);
        const std::uint64_t from = cluster + kept;
        std::span<std::uint8_t> target(bytes_.data() + kept * clusterBytes_,
                                       (want - kept) * clusterBytes_);
        if (!target.empty() && !source_.Read(DriveSector(from * spc_), target))
            ++outcome_.failedReads;
        first_ = cluster;
        held_ = want;
    }

    // The held bytes from `cluster` on (it must be held).
    ByteView From(std::uint64_t cluster) const {
        const std::size_t offset = (cluster - first_) * clusterBytes_;
        return ByteView(bytes_.data() + offset, held_ * clusterBytes_ - offset);
    }
    bool Holds(std::uint64_t cluster) const {
        return cluster >= first_ && cluster < first_ + held_;
    }
    std::uint64_t end() const { return end_; }
    std::uint32_t clusterBytes() const { return clusterBytes_; }

  private:
    SectorSource& source_;
    std::uint32_t spc_;
    std::uint32_t clusterBytes_;
    CarveOutcome& outcome_;
    std::vector<std::uint8_t> bytes_;
    std::uint64_t first_ = 0;
    std::uint64_t held_ = 0;
    std::uint64_t end_ = 0;
};

// A quick look at the first byte before the signatures are compared.
bool MayBeginFile(std::uint8_t first) {
    switch (first) {
        case 0xFF:
        case 0x89:
        case 'G':
        case 'B':
        case '%':
        case 'P':
        case 'R':
        case 'S':
            return true;
        default:
            return first == 0;  // a box size of an MP4's "ftyp"
    }
}

// Formats whose header states their length but whose body the reader cannot check
// (pixels, samples, pages, media data).
bool StatesLengthOnly(CarvedType type) {
    return type == CarvedType::kBmp || type == CarvedType::kRiff || type == CarvedType::kSqlite ||
           type == CarvedType::kMp4;
}

// A stated length may run over clusters that were given to another file since: where a
// whole file of any format begins inside it, the earlier file is cut there.
void CutAtNextFile(const ExtentWindow& window, std::uint64_t first, CarveMatch& match) {
    const std::uint64_t clusterBytes = window.clusterBytes();
    const std::uint64_t clusters = (match.length + clusterBytes - 1) / clusterBytes;
    for (std::uint64_t c = first + 1; c < first + clusters && window.Holds(c); ++c) {
        const ByteView here = window.From(c);
        const auto type = SignatureType(here);
        if (!type) continue;
        const CarveInput input{here, (window.end() - c) * clusterBytes,
                               static_cast<std::uint32_t>(clusterBytes)};
        const auto inner = ReadCarved(*type, input);
        if (!inner || inner->partial || inner->length > here.size()) continue;
        match.length = (c - first) * clusterBytes;
        match.partial = true;
        return;
    }
}

// The reader's answer on the bytes held from `cluster`; when that is no whole file within
// them and more of the free space could be shown, again over a window of up to
// windowClusters.
// Most files end within what is held, so the window is moved only for the few that do not.
std::optional<CarveMatch> ReadCandidate(ExtentWindow& window, std::uint64_t cluster,
                                        CarvedType type, std::uint64_t windowClusters) {
    const std::uint64_t clusterBytes = window.clusterBytes();
    const auto read = [&]() -> std::optional<CarveMatch> {
        const CarveInput input{window.From(cluster), (window.end() - cluster) * clusterBytes,
                               static_cast<std::uint32_t>(clusterBytes)};
        const auto match = ReadCarved(type, input);
        if (!match || match->length == 0 || match->length > input.room) return std::nullopt;
        return match;
    };
    auto match = read();
    const std::uint64_t shown = window.From(cluster).size() / clusterBytes;
    const std::uint64_t could = std::min(windowClusters, window.end() - cluster);
    const bool whole = match && !match->partial && match->length <= shown * clusterBytes;
    if (whole || shown >= could) return match;
    window.Hold(cluster, windowClusters);
    return read();
}

}  // namespace

CarveOutcome CarveClusters(SectorSource& source, std::span<const ClusterExtent> extents,
                           std::uint32_t sectorsPerCluster, ProgressSink& progress,
                           const StopFlag* stop, const CarveOptions& options) {
    CarveOutcome outcome;
    if (sectorsPerCluster == 0) return outcome;
    std::uint64_t total = 0;
    for (const ClusterExtent& extent : extents) total += extent.count;
    progress.SetRange(0, total);
    progress.SetPosition(0);
    ExtentWindow window(source, sectorsPerCluster, outcome);
    const std::uint64_t clusterBytes = window.clusterBytes();
    const std::uint64_t requestClusters =
        std::max<std::uint64_t>(1, options.requestBytes / clusterBytes);
    const std::uint64_t windowClusters =
        std::max<std::uint64_t>(requestClusters, options.windowBytes / clusterBytes);
    std::uint64_t done = 0;
    for (const ClusterExtent& extent : extents) {
        window.Start(extent);
        std::uint64_t cluster = extent.first;
        while (cluster < window.end()) {
            if (!window.Holds(cluster)) {
                if (stop != nullptr && stop->load()) {
                    outcome.stopped = true;
                    return outcome;
                }
                window.Hold(cluster, requestClusters);
                outcome.clustersRead += std::min(requestClusters, window.end() - cluster);
                progress.SetPosition(done + (cluster - extent.first));
            }
            const ByteView here = window.From(cluster);
            const auto type = MayBeginFile(here.data()[0]) ? SignatureType(here) : std::nullopt;
            if (!type) {
                ++cluster;
                continue;
            }
            const auto match = ReadCandidate(window, cluster, *type, windowClusters);
            if (!match) {
                ++cluster;
                continue;
            }
            CarveMatch found = *match;
            if (StatesLengthOnly(*type)) CutAtNextFile(window, cluster, found);
            const std::string_view extension =
                found.extension.empty() ? CarvedExtension(*type) : found.extension;
            outcome.files.push_back({*type, cluster, found.length, found.partial, extension});
            cluster += (found.length + clusterBytes - 1) / clusterBytes;
        }
        done += extent.count;
        progress.SetPosition(done);
    }
    return outcome;
}

}  // namespace tarvik

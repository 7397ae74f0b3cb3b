#include "ntfs/run_list.h"

namespace tarvik {
namespace {

constexpr std::size_t kMaxFieldWidth = 8;

struct RawRun {
    std::size_t lengthWidth = 0;
    std::size_t clusterWidth = 0;
    std::uint64_t length = 0;
    std::uint64_t cluster = 0;  // zero-extended from clusterWidth bytes
    std::size_t size = 0;       // bytes taken, header included
};

// Nothing at the terminating zero byte, a malformed header or a field past the end.
std::optional<RawRun> ReadRun(ByteView bytes, std::size_t at) {
    const auto header = bytes.u8(at);
    if (!header || *header == 0) return std::nullopt;
    RawRun run;
    run.lengthWidth = *header & 0x0F;
    run.clusterWidth = *header >> 4;
    if (run.lengthWidth == 0 || run.lengthWidth > kMaxFieldWidth) return std::nullopt;
    if (run.clusterWidth > kMaxFieldWidth) return std::nullopt;
    const auto length = bytes.uN(at + 1, run.lengthWidth);
    if (!length) return std::nullopt;
    run.length = *length;
    if (run.clusterWidth != 0) {
        const auto cluster = bytes.uN(at + 1 + run.lengthWidth, run.clusterWidth);
        if (!cluster) return std::nullopt;
        run.cluster = *cluster;
    }
    run.size = 1 + run.lengthWidth + run.clusterWidth;
    return run;
}

// The cluster delta is stored in as few bytes as it needs, its top bit the sign.
std::int64_t SignExtend(std::uint64_t value, std::size_t width) {
    if (width == 0) return 0;
    if (width >= 8) return static_cast<std::int64_t>(value);
    const unsigned bits = static_cast<unsigned>(8 * width);
    const std::uint64_t sign = std::uint64_t{1} << (bits - 1);
    if ((value & sign) == 0) return static_cast<std::int64_t>(value);
    return static_cast<std::int64_t>(value | ~((std::uint64_t{1} << bits) - 1));
}

}  // namespace

DecodedRunList DecodeRuns(ByteView runList, std::size_t maxRuns) {
    DecodedRunList result;
    std::size_t at = 0;
    std::uint64_t vcn = 0;
    std::int64_t lcn = 0;
    const auto fail = [&](const char* reason) { result.fault = Failure{reason, at}; };
    while (true) {
        if (result.runs.size() >= maxRuns) {
            fail(kTooManyRuns);
            break;
        }
        const auto header = runList.u8(at);
        if (header && *header == 0) {
            result.complete = true;
            break;
        }
        const auto raw = ReadRun(runList, at);
        if (!raw) {
            // Widths that could be read: the bytes end before the run's fields do.
            const bool widthsValid = header && (*header & 0x0F) != 0 &&
                                     (*header & 0x0F) <= kMaxFieldWidth &&
                                     (*header >> 4) <= kMaxFieldWidth;
            fail(!header || widthsValid ? kRunListUnended : kMalformedRun);
            break;
        }
        DataRun run;
        run.vcn = vcn;
        run.lengthClusters = raw->length;
        run.sparse = raw->clusterWidth == 0;
        if (!run.sparse) {
            run.lcnDelta = SignExtend(raw->cluster, raw->clusterWidth);
            std::int64_t next = 0;
            if (__builtin_add_overflow(lcn, run.lcnDelta, &next) || next < 0) {
                fail(kClusterOutOfRange);
                break;
            }
            lcn = next;
            run.lcn = Cluster(static_cast<std::uint64_t>(lcn));
        }
        if (__builtin_add_overflow(vcn, run.lengthClusters, &vcn)) {
            fail(kLengthOverflows);
            break;
        }
        result.runs.push_back(run);
        at += raw->size;
    }
    return result;
}

std::optional<PlacedRun> PlaceRun(const DataRun& run, std::uint32_t sectorsPerCluster) {
    PlacedRun placed;
    placed.sparse = run.sparse;
    const auto length = CheckedMul(run.lengthClusters, sectorsPerCluster);
    if (!length) return std::nullopt;
    placed.lengthSectors = *length;
    if (!run.sparse) {
        const auto start = ClusterStart(run.lcn, sectorsPerCluster);
        if (!start || !start->Plus(*length)) return std::nullopt;
        placed.start = *start;
    }
    return placed;
}

}  // namespace tarvik

#include "ntfs/fixup.h"

namespace tarvik {
namespace {

constexpr std::size_t kTailOffset = kFixupStride - 2;

}  // namespace

FixupStatus ApplyFixup(std::span<std::uint8_t> bytes, std::size_t usaOffset, std::size_t usaCount) {
    if (usaCount < 2) return FixupStatus::kArrayDoesNotFit;
    const std::size_t sectors = usaCount - 1;
    if (usaOffset > kTailOffset || usaCount > (kTailOffset - usaOffset) / 2) {
        return FixupStatus::kArrayDoesNotFit;
    }
    if (sectors > bytes.size() / kFixupStride) return FixupStatus::kArrayDoesNotFit;

    const std::uint8_t usn0 = bytes[usaOffset];
    const std::uint8_t usn1 = bytes[usaOffset + 1];
    bool tailsMatched = true;
    for (std::size_t k = 0; k < sectors; ++k) {
        const std::size_t tail = k * kFixupStride + kTailOffset;
        const std::size_t entry = usaOffset + 2 * (k + 1);
        if (bytes[tail] != usn0 || bytes[tail + 1] != usn1) tailsMatched = false;
        bytes[tail] = bytes[entry];
        bytes[tail + 1] = bytes[entry + 1];
    }
    return tailsMatched ? FixupStatus::kApplied : FixupStatus::kTailMismatch;
}

FixupStatus ApplyFixup(std::span<std::uint8_t> bytes) {
    const ByteView view(bytes);
    const auto offset = view.u16(kUsaOffsetField);
    const auto count = view.u16(kUsaCountField);
    if (!offset || !count) return FixupStatus::kArrayDoesNotFit;
    return ApplyFixup(bytes, *offset, *count);
}

}  // namespace tarvik

#include "filedata/file_data_window.h"

#include <algorithm>

namespace tarvik {
namespace {

constexpr std::size_t kSmallestRequest = 64u << 10;
constexpr std::size_t kLargestRequest = 4u << 20;

// Keeps the part of the copied bytes that falls in the window, and refuses more once
// the window is full (or a stop is asked for): the copy then ends there.
class WindowOutput final : public DataOutput {
  public:
    WindowOutput(DataWindow& window, std::uint64_t end, const StopFlag* stop)
        : window_(window), end_(end), stop_(stop) {}

    bool Write(std::span<const std::uint8_t> bytes) override {
        const std::uint64_t from = std::max(position_, window_.offset);
        const std::uint64_t to = std::min(position_ + bytes.size(), end_);
        if (from < to) {
            const auto part = bytes.subspan(from - position_, to - from);
            window_.bytes.insert(window_.bytes.end(), part.begin(), part.end());
        }
        position_ += bytes.size();
        return position_ < end_ && !(stop_ != nullptr && stop_->load());
    }

  private:
    DataWindow& window_;
    std::uint64_t end_;
    const StopFlag* stop_;
    std::uint64_t position_ = 0;
};

}  // namespace

DataWindow ReadDataWindow(const FileDataMap& map, SectorSource& source,
                          std::uint32_t sectorsPerCluster, std::uint64_t volumeSectors,
                          std::uint64_t offset, std::size_t length, const StopFlag* stop) {
    DataWindow window;
    window.offset = offset;
    window.fileLength =
        map.resident ? map.residentValue.size() : CopyLength(map, sectorsPerCluster, volumeSectors);
    if (offset >= window.fileLength || length == 0) return window;
    const std::uint64_t end = offset + std::min<std::uint64_t>(length, window.fileLength - offset);
    window.bytes.reserve(end - offset);
    CopyOptions options;
    options.stop = stop;
    options.volumeSectors = volumeSectors;
    options.maxRequestBytes =
        static_cast<std::size_t>(std::clamp<std::uint64_t>(end, kSmallestRequest, kLargestRequest));
    std::vector<FileRange> lost;
    options.unreadableRanges = &lost;
    WindowOutput output(window, end, stop);
    CopyFileData(map, source, sectorsPerCluster, output, options);
    window.stopped = window.bytes.size() < end - offset;
    for (const FileRange& range : lost) {
        const std::uint64_t from = std::max(range.offset, offset);
        const std::uint64_t to =
            std::min(range.offset + range.length, offset + window.bytes.size());
        if (from < to) window.unreadable.push_back({from, to - from});
    }
    return window;
}

}  // namespace tarvik

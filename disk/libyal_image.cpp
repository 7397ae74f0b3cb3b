#include "disk/libyal_image.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace tarvik {

namespace {

// The libraries read whatever they are asked for, in pieces where they must; the loop
// makes a short piece before the media's end a read of the rest. What a library cannot
// give (a table or a chunk it cannot read or decode) is missing from the image: the read
// ends short there, and the caller's sector-by-sector retry finds what else is left.
long long ReadWhole(const LibyalCalls& calls, LibyalHandle* handle, std::uint64_t offset,
                    std::span<std::uint8_t> buffer) {
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t got = calls.readAt(handle, buffer.data() + done, buffer.size() - done,
                                         static_cast<std::int64_t>(offset + done), nullptr);
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<long long>(done);
}

// A backtrace holds one message a line, the innermost first, each "function: reason.".
std::string InnermostReason(std::string_view backtrace) {
    const std::size_t end = backtrace.find('\n');
    std::string_view line = backtrace.substr(0, end);
    if (const std::size_t colon = line.find(": "); colon != std::string_view::npos)
        line.remove_prefix(colon + 2);
    while (!line.empty() && (line.back() == '.' || line.back() == ' ' || line.back() == '\r'))
        line.remove_suffix(1);
    return std::string(line);
}

}  // namespace

std::string LibyalErrorText(const LibyalCalls& calls, LibyalError*& error) {
    std::string reason;
    if (error != nullptr) {
        std::vector<char> text(4096, '\0');
        if (calls.errorSprint(error, text.data(), text.size()) > 0)
            reason = InnermostReason(text.data());
        calls.errorFree(&error);
    }
    return std::string(calls.library) + ": " + (reason.empty() ? "unknown error" : reason);
}

DiskImageOpening LibyalImage::Open(const LibyalCalls& calls, const std::string& path,
                                   const Opener& open) {
    auto image = std::unique_ptr<LibyalImage>(new LibyalImage(calls));
    LibyalError* error = nullptr;
    if (calls.initialize(&image->handle_, &error) != 1)
        return DiskImageOpening::Failed(path, LibyalErrorText(calls, error));
    if (auto problem = open(*image)) return DiskImageOpening::Failed(path, *problem);
    if (calls.mediaSize(image->handle_, &image->size_, &error) != 1)
        return DiskImageOpening::Failed(path, LibyalErrorText(calls, error));
    return DiskImageOpening::Opened(std::move(image));
}

LibyalImage::~LibyalImage() {
    // A failed open leaves what it read of the files in the handle (megabytes of tables
    // for a large E01): closing frees it, also when the open did not succeed.
    if (handle_ == nullptr) return;
    calls_.close(handle_, nullptr);
    calls_.free(&handle_, nullptr);
}

long long LibyalImage::ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) {
    if (offset >= size_) return 0;
    std::uint64_t end = offset + std::min<std::uint64_t>(buffer.size(), size_ - offset);
    if (missing_) end = missing_(offset, end);
    const long long got =
        ReadWhole(calls_, handle_, offset, buffer.first(static_cast<std::size_t>(end - offset)));
    if (got <= 0 || !missing_) return got;
    return static_cast<long long>(missing_(offset, offset + static_cast<std::uint64_t>(got)) -
                                  offset);
}

}  // namespace tarvik

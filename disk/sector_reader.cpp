#include "disk/sector_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace tarvik {

long long ReadFully(int fd, std::uint64_t offset, std::span<std::uint8_t> buffer,
                    PreadFunction read) {
    if (read == nullptr) read = ::pread;
    std::uint64_t done = 0;
    while (done < buffer.size()) {
        const ssize_t got =
            read(fd, buffer.data() + done, buffer.size() - done, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (got == 0) break;
        done += static_cast<std::uint64_t>(got);
    }
    return static_cast<long long>(done);
}

namespace {

class ReadTrace {
  public:
    ReadTrace() {
        const char* path = std::getenv("TARVIK_READ_TRACE");
        if (path != nullptr && *path != '\0') file_ = std::fopen(path, "ae");
    }
    ~ReadTrace() {
        if (file_ != nullptr) std::fclose(file_);
    }
    ReadTrace(const ReadTrace&) = delete;
    ReadTrace& operator=(const ReadTrace&) = delete;

    void Record(std::uint64_t offset, std::size_t length) {
        if (file_ == nullptr) return;
        const std::lock_guard lock(mutex_);
        std::fprintf(file_, "%llu %zu\n", static_cast<unsigned long long>(offset), length);
    }

  private:
    std::FILE* file_ = nullptr;
    std::mutex mutex_;
};

}  // namespace

void TraceRead(std::uint64_t offset, std::size_t length) {
    static ReadTrace trace;
    trace.Record(offset, length);
}

}  // namespace tarvik

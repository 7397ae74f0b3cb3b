#include "recovery/fd_outputs.h"

#include <sys/types.h>
#include <unistd.h>

#include <cerrno>

namespace tarvik {

int WriteAllBytes(int fd, std::span<const std::uint8_t> bytes,
                  std::optional<std::uint64_t> offset) {
    while (!bytes.empty()) {
        const ssize_t done =
            offset ? ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(*offset))
                   : ::write(fd, bytes.data(), bytes.size());
        if (done < 0 && errno == EINTR) continue;
        // A write that takes nothing without an error has no room left.
        if (done <= 0) return done < 0 ? errno : ENOSPC;
        bytes = bytes.subspan(static_cast<std::size_t>(done));
        if (offset) *offset += static_cast<std::uint64_t>(done);
    }
    return 0;
}

}  // namespace tarvik

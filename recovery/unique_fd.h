#pragma once
// One open file descriptor, owned.
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace tarvik {

// Owns one open file descriptor: every way out of a folder or a file closes it.
class UniqueFd {
  public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~UniqueFd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now: 0, or the error close reported (a write the file system had taken in
    // may still fail here, on a network or a full file system).
    int Close() {
        const int fd = std::exchange(fd_, -1);
        if (fd < 0 || ::close(fd) == 0) return 0;
        return errno == EINTR ? 0 : errno;  // after EINTR the descriptor is gone, the data kept
    }

  private:
    int fd_;
};

}  // namespace tarvik

#pragma once
// The outputs a recovered file is written through: its descriptor from the front, or at
// the places its pieces take. Both write through one loop, so a short write, an
// interrupted one and a write that takes nothing are met alike.
#include <cstdint>
#include <optional>
#include <span>

#include "filedata/file_data_copy.h"

namespace tarvik {

// Writes all of `bytes` to `fd`, at `offset` when given (else at the descriptor's own
// position): 0, or the errno that stopped it (ENOSPC for a write that took nothing).
int WriteAllBytes(int fd, std::span<const std::uint8_t> bytes,
                  std::optional<std::uint64_t> offset = std::nullopt);

class FdOutput final : public DataOutput {
  public:
    explicit FdOutput(int fd) : fd_(fd) {}
    bool Write(std::span<const std::uint8_t> bytes) override {
        error_ = WriteAllBytes(fd_, bytes);
        return error_ == 0;
    }
    int error() const { return error_; }

  private:
    int fd_;
    int error_ = 0;
};

class PwriteOutput final : public PositionedOutput {
  public:
    explicit PwriteOutput(int fd) : fd_(fd) {}
    bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
        error_ = WriteAllBytes(fd_, bytes, offset);
        return error_ == 0;
    }
    int error() const { return error_; }

  private:
    int fd_;
    int error_ = 0;
};

}  // namespace tarvik

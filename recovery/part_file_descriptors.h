#pragma once
// The descriptors of the files a recovery writes piece by piece in the order of their data
// on the drive: a file whose pieces lie apart is written as the reading comes to each,
// and is open in between. At most a bound of them are held at once; when one more is
// wanted, the one used longest ago is closed, and it is opened again by its name when
// the reading comes to its next piece. No file is then read out of disk order for want
// of descriptors, however many files lie split over the drive.
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace tarvik {

class PartFileDescriptors {
  public:
    explicit PartFileDescriptors(std::size_t most) : most_(most == 0 ? 1 : most) {}
    ~PartFileDescriptors();
    PartFileDescriptors(const PartFileDescriptors&) = delete;
    PartFileDescriptors& operator=(const PartFileDescriptors&) = delete;

    // Holds `fd`, the descriptor of file `key` just created.
    void Hold(std::size_t key, int fd);
    // File `key`'s descriptor: the one held, else the file `name` in the folder `folderFd`
    // opened again for writing (and held). -1, errno set, when it cannot be opened.
    int Get(std::size_t key, int folderFd, const std::string& name);
    // Hands file `key`'s descriptor over, no longer held; -1 when none is held.
    int Take(std::size_t key);
    std::size_t held() const { return held_.size(); }

  private:
    std::size_t most_;
    // Key and descriptor, the one used longest ago first.
    std::vector<std::pair<std::size_t, int>> held_;
};

}  // namespace tarvik

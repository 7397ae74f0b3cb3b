#include "recovery/part_file_descriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

namespace tarvik {

PartFileDescriptors::~PartFileDescriptors() {
    for (const auto& [key, fd] : held_) ::close(fd);
}

void PartFileDescriptors::Hold(std::size_t key, int fd) {
    if (held_.size() >= most_) {
        ::close(held_.front().second);
        held_.erase(held_.begin());
    }
    held_.emplace_back(key, fd);
}

int PartFileDescriptors::Get(std::size_t key, int folderFd, const std::string& name) {
    const auto it = std::find_if(held_.begin(), held_.end(),
                                 [key](const auto& held) { return held.first == key; });
    if (it != held_.end()) {
        std::rotate(it, it + 1, held_.end());
        return held_.back().second;
    }
    if (folderFd < 0) return -1;
    const int fd = ::openat(folderFd, name.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) Hold(key, fd);
    return fd;
}

int PartFileDescriptors::Take(std::size_t key) {
    const auto it = std::find_if(held_.begin(), held_.end(),
                                 [key](const auto& held) { return held.first == key; });
    if (it == held_.end()) return -1;
    const int fd = it->second;
    held_.erase(it);
    return fd;
}

}  // namespace tarvik

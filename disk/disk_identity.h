#pragma once
#include <string>

#include "disk/drive_code.h"

namespace tarvik {

// Model and serial as the disk list shows them.
struct DiskIdentity {
    std::string model;
    std::string serial;
};

inline constexpr const char* kUnknownIdentity = "UNKNOWN";
inline constexpr const char* kImageModel = "DISK IMAGE";

// An image file has no identify data: it shows as "DISK IMAGE" with its file name as
// serial, so images can be told apart. Other disks read "UNKNOWN" until they answer an
// identify request.
DiskIdentity IdentifyDisk(unsigned diskIndex);

// The disk list shows the identity only when the model begins with a letter A-Z.
DiskIdentity IdentityForDisplay(const DiskIdentity& identity);

}  // namespace tarvik

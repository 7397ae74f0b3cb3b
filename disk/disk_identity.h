#pragma once
// A disk's model and serial number, from the ATA identify data the drive returns to
// IDENTIFY DEVICE: 256 words, each string stored two characters a word with the first
// character in the high byte.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace tarvik {

// Model and serial as the disk list shows them.
struct DiskIdentity {
    std::string model;
    std::string serial;
};

inline constexpr const char* kUnknownIdentity = "UNKNOWN";
inline constexpr const char* kImageModel = "DISK IMAGE";

using IdentifyWords = std::array<std::uint16_t, 256>;

inline constexpr unsigned kSerialFirstWord = 10;
inline constexpr unsigned kSerialLastWord = 19;
inline constexpr unsigned kModelFirstWord = 27;
inline constexpr unsigned kModelLastWord = 46;

// The characters of words first..last (high byte, then low byte), with trailing blanks
// cut back to, never including, the first character; leading blanks stay. The text
// ends at its first NUL, so an all-zero field is empty.
std::string ExtractIdentifyString(const IdentifyWords& words, unsigned first, unsigned last);

// Serial (words 10-19) and model (words 27-46).
DiskIdentity IdentityFromWords(const IdentifyWords& words);

// One way of asking a drive for its identify data; nothing when that way gets no answer.
using IdentifyRoute = std::function<std::optional<IdentifyWords>()>;

// Asks each route in turn and takes the first answer. The last route of a disk always
// answers (with zeros when it reaches nothing), so every disk gets an identity.
DiskIdentity IdentifyThroughRoutes(std::span<const IdentifyRoute> routes);

// The Linux routes for a block device: the kernel's HDIO_GET_IDENTITY, then an ATA
// IDENTIFY (and IDENTIFY PACKET DEVICE) passed through SG_IO. The device is opened
// read-only. Each gives nothing when the driver does not answer.
std::optional<IdentifyWords> IdentifyViaHdio(const std::string& devicePath);
std::optional<IdentifyWords> IdentifyViaSgIo(const std::string& devicePath);
// The controller's registers: user programs have no port access, so every register
// read leaves its slot at 0 and the route answers with 256 zero words.
std::optional<IdentifyWords> IdentifyViaAtaPorts(unsigned diskIndex);

class Disk;

// An image file has no identify data: it shows as "DISK IMAGE" with its file name as
// serial, so images can be told apart. A device goes through the three routes above.
DiskIdentity IdentifyDisk(const Disk& disk);

// The disk list shows the identity only when the model begins with a letter A-Z;
// otherwise model and serial both read "UNKNOWN".
DiskIdentity IdentityForDisplay(const DiskIdentity& identity);

}  // namespace tarvik

#include "disk/disk_identity.h"

#include <fcntl.h>
#include <linux/hdreg.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "disk/disk.h"
#include "disk/image_format.h"

namespace tarvik {

namespace {

constexpr std::uint8_t kIdentifyDevice = 0xEC;
constexpr std::uint8_t kIdentifyPacketDevice = 0xA1;

// Closes a descriptor when it goes out of scope.
class DeviceHandle {
  public:
    explicit DeviceHandle(const std::string& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {}
    ~DeviceHandle() {
        if (fd_ >= 0) ::close(fd_);
    }
    DeviceHandle(const DeviceHandle&) = delete;
    DeviceHandle& operator=(const DeviceHandle&) = delete;
    int fd() const { return fd_; }

  private:
    int fd_;
};

bool IsBlockDevice(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISBLK(info.st_mode);
}

// One ATA PASS-THROUGH (16) command reading one 512-byte block by PIO.
std::optional<IdentifyWords> PassThroughIdentify(int fd, std::uint8_t command) {
    std::array<std::uint8_t, 16> cdb{};
    cdb[0] = 0x85;    // ATA PASS-THROUGH (16)
    cdb[1] = 4 << 1;  // protocol: PIO data-in
    cdb[2] = 0x0E;    // from the device, length in blocks, taken from the sector count
    cdb[6] = 1;       // one block
    cdb[13] = 0xA0;   // device register
    cdb[14] = command;
    std::array<std::uint8_t, 512> data{};
    std::array<std::uint8_t, 32> sense{};
    sg_io_hdr_t request{};
    request.interface_id = 'S';
    request.dxfer_direction = SG_DXFER_FROM_DEV;
    request.cmd_len = static_cast<unsigned char>(cdb.size());
    request.cmdp = cdb.data();
    request.dxfer_len = static_cast<unsigned>(data.size());
    request.dxferp = data.data();
    request.mx_sb_len = static_cast<unsigned char>(sense.size());
    request.sbp = sense.data();
    request.timeout = 10000;
    if (::ioctl(fd, SG_IO, &request) != 0) return std::nullopt;
    if (request.status != 0 || request.host_status != 0 || request.driver_status != 0)
        return std::nullopt;
    // The drive sends its words little-endian.
    IdentifyWords words{};
    for (std::size_t i = 0; i < words.size(); ++i)
        words[i] = static_cast<std::uint16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    return words;
}

}  // namespace

std::string ExtractIdentifyString(const IdentifyWords& words, unsigned first, unsigned last) {
    std::string text;
    for (unsigned i = first; i <= last && i < words.size(); ++i) {
        text.push_back(static_cast<char>(words[i] >> 8));
        text.push_back(static_cast<char>(words[i] & 0xFF));
    }
    std::size_t length = text.size();
    while (length > 1 && text[length - 1] == ' ') --length;
    text.resize(length);
    if (const std::size_t nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
    return text;
}

DiskIdentity IdentityFromWords(const IdentifyWords& words) {
    return {ExtractIdentifyString(words, kModelFirstWord, kModelLastWord),
            ExtractIdentifyString(words, kSerialFirstWord, kSerialLastWord)};
}

DiskIdentity IdentifyThroughRoutes(std::span<const IdentifyRoute> routes) {
    for (const IdentifyRoute& route : routes) {
        if (const auto words = route()) return IdentityFromWords(*words);
    }
    return {};
}

std::optional<IdentifyWords> IdentifyViaHdio(const std::string& devicePath) {
    if (!IsBlockDevice(devicePath)) return std::nullopt;
    const DeviceHandle device(devicePath);
    if (device.fd() < 0) return std::nullopt;
    std::array<std::uint8_t, 512> data{};
    if (::ioctl(device.fd(), HDIO_GET_IDENTITY, data.data()) != 0) return std::nullopt;
    // The kernel hands the text fields over already in reading order (first character
    // first); put them back two to a word, first character high.
    IdentifyWords words{};
    for (std::size_t i = 0; i < words.size(); ++i)
        words[i] = static_cast<std::uint16_t>((data[2 * i] << 8) | data[2 * i + 1]);
    return words;
}

std::optional<IdentifyWords> IdentifyViaSgIo(const std::string& devicePath) {
    if (!IsBlockDevice(devicePath)) return std::nullopt;
    const DeviceHandle device(devicePath);
    if (device.fd() < 0) return std::nullopt;
    if (auto words = PassThroughIdentify(device.fd(), kIdentifyDevice)) return words;
    return PassThroughIdentify(device.fd(), kIdentifyPacketDevice);
}

std::optional<IdentifyWords> IdentifyViaAtaPorts(unsigned /*diskIndex*/) {
    return IdentifyWords{};
}

DiskIdentity IdentifyDisk(const Disk& disk) {
    const std::string& path = disk.path();
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        return {ImageFormatModel(DetectImageFormatOfFile(path)),
                std::filesystem::path(path).filename().string()};
    }
    const auto diskIndex = static_cast<unsigned>(disk.number());
    const std::array<IdentifyRoute, 3> routes = {
        [&path] { return IdentifyViaHdio(path); },
        [&path] { return IdentifyViaSgIo(path); },
        [diskIndex] { return IdentifyViaAtaPorts(diskIndex); },
    };
    return IdentifyThroughRoutes(routes);
}

DiskIdentity IdentityForDisplay(const DiskIdentity& identity) {
    const bool usable =
        !identity.model.empty() && identity.model[0] >= 'A' && identity.model[0] <= 'Z';
    if (!usable) return {kUnknownIdentity, kUnknownIdentity};
    return identity;
}

}  // namespace tarvik

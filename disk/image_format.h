#pragma once
// The container formats a disk image may come in, told apart by their content (the
// magic at the start, or a fixed VHD's footer at the end), never by the file name: an
// image renamed or copied without its extension is still read as what it is.
#include <cstdint>
#include <string>

#include "common/byte_view.h"

namespace tarvik {

enum class ImageFormat : std::uint8_t {
    kRaw,   // the disk's bytes as they are (also every block device)
    kEwf,   // EnCase / Expert Witness (E01 and its segments E02, ...)
    kVhd,   // Virtual PC / Hyper-V VHD: fixed, dynamic or differencing
    kVhdx,  // Hyper-V VHDX
    kVmdk,  // VMware VMDK: a descriptor file or a sparse extent
    kQcow,  // QEMU QCOW and QCOW2
};

// The format the first bytes of a file (`head`, at least 512 of them where the file has
// them) and its last 512 bytes (`tail`) show; raw when none.
ImageFormat DetectImageFormat(ByteView head, ByteView tail);
// The same for a file; raw for a device or a file that cannot be read.
ImageFormat DetectImageFormatOfFile(const std::string& path);

// What the disk list shows as an image's model: "E01 IMAGE", "VHDX IMAGE", ...;
// "DISK IMAGE" for raw.
const char* ImageFormatModel(ImageFormat format);
// "E01", "VHDX", ... for messages.
const char* ImageFormatName(ImageFormat format);
// Whether this build reads the format (raw always; the others through their libyal
// library, each an option of the build), and the Debian package that brings it.
bool ImageFormatBuiltIn(ImageFormat format);
const char* ImageFormatPackage(ImageFormat format);

}  // namespace tarvik

#pragma once
// The real NTFS images of the shared test data, decompressed for a test. Without the
// shared folder a test skips with a message, except under CI=true, where the folder is
// always there and its absence is a failure.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace tarvik::testing {

inline bool UnderCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string(ci) == "true";
}

// The bytes of testdata/NAME.xz, or nothing when the shared folder does not hold it.
inline std::optional<std::vector<std::uint8_t>> SharedImageBytes(const std::string& name) {
    namespace fs = std::filesystem;
    const fs::path packed = fs::path(TARVIK_SHARED_DIR) / "testdata" / (name + ".xz");
    if (!fs::exists(packed)) return std::nullopt;
    const fs::path unpacked =
        fs::temp_directory_path() / ("tarvik-" + std::to_string(::getpid()) + "-" + name);
    const std::string command = "xz -dc '" + packed.string() + "' > '" + unpacked.string() + "'";
    std::optional<std::vector<std::uint8_t>> bytes;
    if (std::system(command.c_str()) == 0) {
        std::ifstream in(unpacked, std::ios::binary);
        bytes.emplace(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::error_code ignored;
    fs::remove(unpacked, ignored);
    return bytes;
}

}  // namespace tarvik::testing

// Ends the test: skipped with the reason, or failed under CI.
#define TARVIK_SKIP_WITHOUT_SHARED_DATA(name)                                      \
    do {                                                                           \
        if (::tarvik::testing::UnderCi()) FAIL() << name << " missing under CI";   \
        GTEST_SKIP() << name << " not found under " TARVIK_SHARED_DIR "/testdata"; \
    } while (0)

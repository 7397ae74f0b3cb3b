#pragma once
// Which entries of a scanned live drive have older versions in the drive's shadow copies:
// a file whose path a copy holds in another version, and a folder for the versions of the
// files in and below it (files the live volume no longer has included). The desktop
// program shows them beside the rows and recovers them on request.
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace tarvik {

// The copy an older version was first found in.
struct VersionSource {
    std::size_t copy = 0;            // from 1, oldest first
    std::uint64_t creationTime = 0;  // the copy's, FILETIME UTC
};

class VersionMarks {
  public:
    void Add(std::size_t catalogueIndex, const VersionSource& source);
    void AddToRoot(const VersionSource& source);

    bool Empty() const { return byEntry_.empty() && root_.empty(); }
    // The older versions of a file, or of the files in and below a folder, one per
    // distinct version; none for an entry without.
    const std::vector<VersionSource>& Of(std::size_t catalogueIndex) const;
    const std::vector<VersionSource>& OfRoot() const { return root_; }

    // The words of a tooltip: how many versions, and the copies they are in with their
    // times ("shadow copy 1 (2013-12-03 06:35 UTC)").
    static std::string Describe(const std::vector<VersionSource>& versions, bool folder);

  private:
    std::unordered_map<std::size_t, std::vector<VersionSource>> byEntry_;
    std::vector<VersionSource> root_;
};

}  // namespace tarvik

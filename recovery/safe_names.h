#pragma once
// Names a recovery gives the folders and files it creates: each must stay inside the
// folder it is created in, and two entries of one folder must not land on one name.
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>

#include "common/utf16.h"

namespace tarvik {

// The name made safe to create in a folder: '/' and NUL become '_', "." and ".." (and
// an empty name) get a leading '_'. A name longer than a Linux file name may be
// (kMaxNameBytes) is shortened as ShortenName does, its extension kept; every other
// byte is kept.
std::string SafeName(std::string_view name);

// The names given out in one folder. The first claim of a name gets it unchanged; later
// claims get " (2)", " (3)" ... before the extension ("a (2).txt"), or at the end when
// the name has no extension or begins with its only dot.
// Safe names are at most kMaxNameBytes long; a numbered name is cut on a character
// boundary before its number so that it fits too.
class FolderNames {
  public:
    std::string Claim(const std::string& safeName);

  private:
    std::unordered_set<std::string> taken_;
};

}  // namespace tarvik

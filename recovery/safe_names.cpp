#include "recovery/safe_names.h"

namespace tarvik {

std::string SafeName(std::string_view name) {
    std::string safe(name);
    for (char& c : safe) {
        if (c == '/' || c == '\0') c = '_';
    }
    if (safe.empty() || safe == "." || safe == "..") safe.insert(safe.begin(), '_');
    return safe;
}

std::string FolderNames::Claim(const std::string& safeName) {
    if (taken_.insert(safeName).second) return safeName;
    const std::size_t dot = safeName.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot != 0;
    const std::string stem = hasExtension ? safeName.substr(0, dot) : safeName;
    const std::string extension = hasExtension ? safeName.substr(dot) : std::string();
    for (unsigned k = 2;; ++k) {
        std::string candidate = stem + " (" + std::to_string(k) + ")" + extension;
        if (taken_.insert(candidate).second) return candidate;
    }
}

}  // namespace tarvik

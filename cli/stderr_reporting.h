#pragma once
#include <cstdio>
#include <string>

#include "common/reporting.h"

namespace tarvik::cli {

// Messages for the user go to stderr as "caption: text".
class StderrNotifier final : public Notifier {
  public:
    void Notify(const std::string& text, const std::string& caption, NoticeIcon) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    }
};

}  // namespace tarvik::cli

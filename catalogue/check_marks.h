#pragma once
// The check marks of a catalogue's entries, one byte each, indexed like the catalogue.
// They are kept apart from the entries: the scan's result stays as the scan made it, and
// whoever shows the entries (the check tree) owns the marks the recovery writer reads.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvik {

enum class CheckMark : std::uint8_t { kUnchecked, kChecked, kPartly };

class CheckMarks {
  public:
    explicit CheckMarks(std::size_t count = 0) : marks_(count, CheckMark::kUnchecked) {}

    std::size_t Count() const { return marks_.size(); }
    // An index past the marks reads as unchecked.
    CheckMark Of(std::size_t index) const {
        return index < marks_.size() ? marks_[index] : CheckMark::kUnchecked;
    }
    bool IsChecked(std::size_t index) const { return Of(index) == CheckMark::kChecked; }
    // Ignored for an index past the marks.
    void Set(std::size_t index, CheckMark mark) {
        if (index < marks_.size()) marks_[index] = mark;
    }
    void SetAll(CheckMark mark) { marks_.assign(marks_.size(), mark); }

  private:
    std::vector<CheckMark> marks_;
};

}  // namespace tarvik

#include "catalogue/directory_id_list.h"

namespace tarvik {

void DirectoryIdList::Append(std::uint32_t number) {
    numbers_.push_back(number);
    known_.insert(number);
}

void DirectoryIdList::Clear() {
    numbers_.clear();
    known_.clear();
}

}  // namespace tarvik

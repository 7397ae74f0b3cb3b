#include "common/memory_release.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace tarvik {

void ReleasePages(void* data, std::size_t size) {
#if defined(__linux__)
    static const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    if (page == 0 || data == nullptr) return;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + page - 1) / page * page;
    const std::uintptr_t last = (begin + size) / page * page;
    if (first >= last) return;
    madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
#else
    (void)data;
    (void)size;
#endif
}

void ReturnFreedMemory() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

}  // namespace tarvik

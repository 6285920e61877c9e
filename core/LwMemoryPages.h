#pragma once
// Prefaulting of a memory range that was just mapped, such as a shared-memory
// block right after it was created or attached.
//
// The first touch of each 4 KiB page of a new mapping is a page fault; for a
// block of a large image that is thousands of faults, and on a virtual
// machine one fault can cost 10 us, so that the faults, not the copy, set the
// time of moving an image through a fresh block. Prefault maps the whole
// range in one system call before the copy.
//
// A hint only: the result is not reported, and where the system has no such
// call (not Linux, or a Linux kernel before 5.14) nothing happens; the pages
// then fault in one by one as before.

#include <cstddef>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace LwMemoryPages {

enum class Access {
    Read,  // a read-only mapping: the pages are mapped readable
    Write,  // a writable mapping about to be filled: mapped writable
};

// Prefaults the pages that hold [begin, begin + bytes).
inline void Prefault(const void* begin, std::size_t bytes, Access access)
{
#if defined(__linux__) && defined(MADV_POPULATE_READ) && defined(MADV_POPULATE_WRITE)
    if (begin == nullptr || bytes == 0)
        return;
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pageSize <= 0)
        return;
    // madvise takes a page-aligned start.
    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(begin);
    const std::uintptr_t start = address - address % static_cast<std::uintptr_t>(pageSize);
    const std::size_t length = bytes + static_cast<std::size_t>(address - start);
    madvise(reinterpret_cast<void*>(start), length,
            access == Access::Write ? MADV_POPULATE_WRITE : MADV_POPULATE_READ);
#else
    (void)begin;
    (void)bytes;
    (void)access;
#endif
}

}  // namespace LwMemoryPages

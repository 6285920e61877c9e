#include "core/LwUsableMemory.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sys/resource.h>
#include <unistd.h>

std::uint64_t UsableMemoryBytes()
{
    std::uint64_t bytes = std::numeric_limits<std::uint64_t>::max();
    const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
        bytes = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
    struct rlimit limit
    {};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        bytes = std::min<std::uint64_t>(bytes, limit.rlim_cur);
    // cgroup v2; "max" (no limit) reads as no number.
    std::ifstream cgroup("/sys/fs/cgroup/memory.max");
    std::uint64_t cgroupLimit = 0;
    if (cgroup >> cgroupLimit && cgroupLimit > 0)
        bytes = std::min(bytes, cgroupLimit);
    return bytes;
}

std::string GigabytesText(std::uint64_t bytes)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.1f GB", static_cast<double>(bytes) / 1e9);
    return text;
}

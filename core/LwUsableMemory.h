#pragma once
// How much memory a process can get on this machine now, for the checks that
// refuse a calculation before it allocates more than the machine can give.
//
// The bound is the least of what the kernel reports as available now, what
// the process's control groups still allow, and what its address-space limit
// still allows. Physical memory alone is no bound: other processes hold part
// of it, and without swap an allocation beyond what is available ends with
// the process killed, not with an error.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One control group's memory limit and what the group uses now, in bytes.
struct LwCgroupMemory
{
    std::uint64_t limit = 0;
    std::uint64_t usage = 0;
};

// The machine's figures, each absent when it could not be read.
struct LwMemoryFigures
{
    std::optional<std::uint64_t> available;  // MemAvailable of /proc/meminfo
    std::optional<std::uint64_t> physical;  // physical memory, used when MemAvailable is absent
    std::vector<LwCgroupMemory> cgroups;  // the process's group and its ancestors that have a limit
    std::optional<std::uint64_t> addressSpaceLimit;  // RLIMIT_AS, when not unlimited
    std::optional<std::uint64_t> addressSpaceUsed;  // the process's address-space size (VmSize)
};

// Memory a process can get now, in bytes: the least of MemAvailable (the
// physical memory when it is absent), limit - usage of every control group
// and address-space limit - address-space size (a usage above its limit
// leaves 0). The largest 64-bit value when no figure is known.
std::uint64_t UsableMemoryBytes(const LwMemoryFigures& figures);

// The figures of this machine and process: /proc/meminfo, the memory
// controller of cgroup v2 (memory.max, memory.current; "max" is no limit) or,
// when the process has no v2 group with a limit, of cgroup v1
// (memory.limit_in_bytes, memory.usage_in_bytes), for the process's group
// and each of its ancestors, then RLIMIT_AS and VmSize of /proc/self/status.
LwMemoryFigures MachineMemoryFigures();

// UsableMemoryBytes(MachineMemoryFigures()): read again at every call.
std::uint64_t UsableMemoryBytes();

// The limits of the control groups that `table` (the text of
// /proc/self/cgroup) names, under the cgroup file system mounted at `root`:
// the group of the v2 line ("0::<path>") and its ancestors under `root`,
// those with a memory.max that is a number; when there is none, the group of
// the v1 line of the memory controller and its ancestors under
// `root`/memory, those with a memory.limit_in_bytes. Innermost first.
std::vector<LwCgroupMemory> CgroupMemoryLimits(const std::string& table, const std::string& root);

// The readers of the figures' texts, each absent when the text does not hold
// the figure: a "<key>: <n> kB" line of /proc/meminfo or /proc/self/status,
// in bytes (MemInfoBytes(text, "MemAvailable")); the number of a cgroup
// file ("max" and anything that is not a number give none).
std::optional<std::uint64_t> MemInfoBytes(const std::string& text, const std::string& key);
std::optional<std::uint64_t> CgroupNumber(const std::string& text);

// A byte count in gigabytes (10^9 bytes) with one decimal: "188.9 GB".
std::string GigabytesText(std::uint64_t bytes);

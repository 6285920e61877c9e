#pragma once
// How much memory a process may use on this machine, for the checks that
// refuse a calculation before it allocates more than the machine can hold.

#include <cstdint>
#include <string>

// Memory a process may use here, in bytes: the physical memory, lowered by
// the process's address-space limit and the control group's memory limit.
// The largest 64-bit value when none of them can be read.
std::uint64_t UsableMemoryBytes();

// A byte count in gigabytes (10^9 bytes) with one decimal: "188.9 GB".
std::string GigabytesText(std::uint64_t bytes);

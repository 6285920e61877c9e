#include "core/LwUsableMemory.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// The leading decimal digits of `text` from `at` (blanks skipped first);
// none when there is no digit or the number does not fit 64 bits.
std::optional<std::uint64_t> DecimalAt(const std::string& text, std::size_t at)
{
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
        ++at;
    if (at >= text.size() || !std::isdigit(static_cast<unsigned char>(text[at])))
        return std::nullopt;
    std::uint64_t value = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at) {
        const unsigned digit = static_cast<unsigned>(text[at] - '0');
        if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

std::optional<std::string> FileText(const std::string& path)
{
    std::ifstream in(path);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::optional<std::uint64_t> FileNumber(const std::string& path)
{
    const std::optional<std::string> text = FileText(path);
    return text ? CgroupNumber(*text) : std::nullopt;
}

// The group path and every ancestor up to "/", innermost first.
std::vector<std::string> GroupAndAncestors(std::string path)
{
    std::vector<std::string> paths;
    while (!path.empty() && path.back() == '/')
        path.pop_back();
    for (;;) {
        paths.push_back(path.empty() ? "/" : path);
        if (path.empty())
            break;
        path.erase(path.rfind('/'));
    }
    return paths;
}

// The limits of the groups `paths` under the hierarchy mounted at `mount`
// (a group without a readable limit is skipped).
std::vector<LwCgroupMemory> GroupLimits(const std::string& mount, const std::vector<std::string>& paths,
                                        const char* limitFile, const char* usageFile)
{
    std::vector<LwCgroupMemory> groups;
    for (const std::string& path : paths) {
        const std::string dir = mount + (path == "/" ? std::string() : path) + "/";
        const std::optional<std::uint64_t> limit = FileNumber(dir + limitFile);
        const std::optional<std::uint64_t> usage = FileNumber(dir + usageFile);
        if (limit && usage)
            groups.push_back({*limit, *usage});
    }
    return groups;
}

// What is left of `limit` when `used` is taken.
std::uint64_t Headroom(std::uint64_t limit, std::uint64_t used)
{
    return used >= limit ? 0 : limit - used;
}

}  // namespace

std::vector<LwCgroupMemory> CgroupMemoryLimits(const std::string& table, const std::string& root)
{
    std::string v2Path, v1Path;
    bool hasV2 = false, hasV1 = false;
    std::istringstream lines(table);
    for (std::string line; std::getline(lines, line);) {
        // "<hierarchy>:<controllers>:<path>"
        const std::size_t first = line.find(':');
        const std::size_t second = first == std::string::npos ? first : line.find(':', first + 1);
        if (second == std::string::npos)
            continue;
        const std::string hierarchy = line.substr(0, first);
        const std::string controllers = line.substr(first + 1, second - first - 1);
        const std::string path = line.substr(second + 1);
        if (hierarchy == "0" && controllers.empty()) {
            hasV2 = true;
            v2Path = path;
        }
        std::istringstream names(controllers);
        for (std::string name; std::getline(names, name, ',');)
            if (name == "memory") {
                hasV1 = true;
                v1Path = path;
            }
    }
    std::vector<LwCgroupMemory> groups;
    if (hasV2)
        groups = GroupLimits(root, GroupAndAncestors(v2Path), "memory.max", "memory.current");
    if (groups.empty() && hasV1)
        groups = GroupLimits(root + "/memory", GroupAndAncestors(v1Path), "memory.limit_in_bytes",
                             "memory.usage_in_bytes");
    return groups;
}

std::optional<std::uint64_t> MemInfoBytes(const std::string& text, const std::string& key)
{
    const std::string label = key + ":";
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        if (text.compare(at, label.size(), label) == 0) {
            const std::optional<std::uint64_t> kB = DecimalAt(text, at + label.size());
            if (!kB || *kB > std::numeric_limits<std::uint64_t>::max() / 1024)
                return std::nullopt;
            return *kB * 1024;
        }
        at = end + 1;
    }
    return std::nullopt;
}

std::optional<std::uint64_t> CgroupNumber(const std::string& text)
{
    return DecimalAt(text, 0);
}

std::uint64_t UsableMemoryBytes(const LwMemoryFigures& figures)
{
    std::uint64_t bytes = std::numeric_limits<std::uint64_t>::max();
    if (figures.available)
        bytes = *figures.available;
    else if (figures.physical)
        bytes = *figures.physical;
    for (const LwCgroupMemory& group : figures.cgroups)
        bytes = std::min(bytes, Headroom(group.limit, group.usage));
    if (figures.addressSpaceLimit)
        bytes = std::min(bytes, Headroom(*figures.addressSpaceLimit, figures.addressSpaceUsed.value_or(0)));
    return bytes;
}

LwMemoryFigures MachineMemoryFigures()
{
    LwMemoryFigures figures;
    if (const std::optional<std::string> meminfo = FileText("/proc/meminfo"))
        figures.available = MemInfoBytes(*meminfo, "MemAvailable");
    const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
        figures.physical = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
    if (const std::optional<std::string> table = FileText("/proc/self/cgroup"))
        figures.cgroups = CgroupMemoryLimits(*table, "/sys/fs/cgroup");
    struct rlimit limit
    {};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        figures.addressSpaceLimit = static_cast<std::uint64_t>(limit.rlim_cur);
    if (const std::optional<std::string> status = FileText("/proc/self/status"))
        figures.addressSpaceUsed = MemInfoBytes(*status, "VmSize");
    return figures;
}

std::uint64_t UsableMemoryBytes()
{
    return UsableMemoryBytes(MachineMemoryFigures());
}

std::string GigabytesText(std::uint64_t bytes)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.1f GB", static_cast<double>(bytes) / 1e9);
    return text;
}

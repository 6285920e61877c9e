// The memory bound of the allocation checks, from figures given to it rather
// than from this machine's.

#include "core/LwUsableMemory.h"
#include "BarnTestFiles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kNone = std::numeric_limits<std::uint64_t>::max();
constexpr std::uint64_t GB = 1000000000ull;

void WriteFile(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

}  // namespace

// Each figure bounds on its own, the least one wins, and a usage at or
// beyond its limit leaves nothing.
TEST(LwUsableMemory, TheLeastHeadroomOfEveryFigure)
{
    struct Case
    {
        const char* what;
        LwMemoryFigures figures;
        std::uint64_t bytes;
    };
    const Case cases[] = {
        {"nothing known", {}, kNone},
        {"available memory", {20 * GB, 25 * GB, {}, {}, {}}, 20 * GB},
        {"physical memory when MemAvailable is absent", {{}, 25 * GB, {}, {}, {}}, 25 * GB},
        {"a group's limit less its usage", {20 * GB, 25 * GB, {{8 * GB, 3 * GB}}, {}, {}}, 5 * GB},
        {"a group with more room than the machine", {20 * GB, 25 * GB, {{64 * GB, 1 * GB}}, {}, {}}, 20 * GB},
        {"the tightest of nested groups",
         {20 * GB, {}, {{16 * GB, 2 * GB}, {10 * GB, 7 * GB}, {40 * GB, 1 * GB}}, {}, {}},
         3 * GB},
        {"a group using more than its limit", {20 * GB, {}, {{4 * GB, 5 * GB}}, {}, {}}, 0},
        {"address-space limit less what the process maps", {20 * GB, {}, {}, 6 * GB, 2 * GB}, 4 * GB},
        {"address-space limit with its use unknown", {20 * GB, {}, {}, 6 * GB, {}}, 6 * GB},
        {"address-space limit already reached", {20 * GB, {}, {}, 6 * GB, 7 * GB}, 0},
        {"address space used without a limit", {20 * GB, {}, {}, {}, 30 * GB}, 20 * GB},
        {"every figure", {20 * GB, 25 * GB, {{12 * GB, 1 * GB}}, 16 * GB, 2 * GB}, 11 * GB},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(UsableMemoryBytes(c.figures), c.bytes);
    }
}

TEST(LwUsableMemory, FiguresReadFromTheirTexts)
{
    const std::string meminfo = "MemTotal:       24682156 kB\n"
                                "MemFree:         1000 kB\n"
                                "MemAvailable:   22225476 kB\n";
    EXPECT_EQ(MemInfoBytes(meminfo, "MemAvailable"), 22225476ull * 1024);
    EXPECT_EQ(MemInfoBytes(meminfo, "MemTotal"), 24682156ull * 1024);
    EXPECT_EQ(MemInfoBytes(meminfo, "MemFree"), 1024000ull);
    // A key is matched as a whole label at the start of a line.
    EXPECT_EQ(MemInfoBytes(meminfo, "Available"), std::nullopt);
    EXPECT_EQ(MemInfoBytes("Name:\tx\nVmSize:\t    3892 kB\n", "VmSize"), 3892ull * 1024);
    EXPECT_EQ(MemInfoBytes("MemAvailable: lots\n", "MemAvailable"), std::nullopt);
    EXPECT_EQ(MemInfoBytes("MemAvailable: 99999999999999999999 kB\n", "MemAvailable"), std::nullopt);
    EXPECT_EQ(MemInfoBytes("", "MemAvailable"), std::nullopt);

    EXPECT_EQ(CgroupNumber("8589934592\n"), 8589934592ull);
    EXPECT_EQ(CgroupNumber("9223372036854771712\n"), 9223372036854771712ull);
    EXPECT_EQ(CgroupNumber("max\n"), std::nullopt);
    EXPECT_EQ(CgroupNumber(""), std::nullopt);
}

// The groups of /proc/self/cgroup looked up in a cgroup tree built here:
// cgroup v2 with nested limits, "max" meaning none, and cgroup v1 as the
// fallback.
TEST(LwUsableMemory, ControlGroupsOfTheProcessAndTheirAncestors)
{
    barn_test::ScratchFolder dir;
    const fs::path root = dir.File("cgroup");
    // v2: the process in /jobs/a; /jobs limited, / without a limit file.
    WriteFile(root / "jobs/a/memory.max", "max\n");
    WriteFile(root / "jobs/a/memory.current", "100\n");
    WriteFile(root / "jobs/memory.max", "8000\n");
    WriteFile(root / "jobs/memory.current", "3000\n");
    // v1: the memory controller's tree.
    WriteFile(root / "memory/box/memory.limit_in_bytes", "6000\n");
    WriteFile(root / "memory/box/memory.usage_in_bytes", "500\n");
    WriteFile(root / "memory/memory.limit_in_bytes", "9223372036854771712\n");
    WriteFile(root / "memory/memory.usage_in_bytes", "7000\n");

    struct Case
    {
        const char* what;
        std::string table;
        std::vector<std::uint64_t> limits;  // innermost first
    };
    const Case cases[] = {
        {"v2 group and its ancestor with a limit", "0::/jobs/a\n", {8000}},
        {"v2 group with a limit of its own", "0::/jobs\n", {8000}},
        {"v2 group without a limit anywhere, v1 beside it",
         "4:memory:/box\n0::/\n",
         {6000, 9223372036854771712ull}},
        {"v1 only, controllers listed together",
         "3:cpu,memory:/box/\n1:name=systemd:/\n",
         {6000, 9223372036854771712ull}},
        {"v1 group absent under the mount: its ancestors count",
         "4:memory:/elsewhere/x\n",
         {9223372036854771712ull}},
        {"v2 limits win over v1", "4:memory:/box\n0::/jobs/a\n", {8000}},
        {"no memory controller", "1:cpu:/\n", {}},
        {"not a cgroup table", "garbage", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint64_t> limits;
        for (const LwCgroupMemory& group : CgroupMemoryLimits(c.table, root.string()))
            limits.push_back(group.limit);
        EXPECT_EQ(limits, c.limits);
    }
    const std::vector<LwCgroupMemory> v2 = CgroupMemoryLimits("0::/jobs/a\n", root.string());
    ASSERT_EQ(v2.size(), 1u);
    EXPECT_EQ(v2[0].usage, 3000u);
}

TEST(LwUsableMemory, GigabytesWithOneDecimal)
{
    EXPECT_EQ(GigabytesText(188853744000ull), "188.9 GB");
    EXPECT_EQ(GigabytesText(0), "0.0 GB");
}

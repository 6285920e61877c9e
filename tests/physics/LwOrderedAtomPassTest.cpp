// The ordered atom pass with steps that only record what happens: levels run
// in order, console lines in atom order whatever the thread count, the
// lowest failing atom's error with nothing above it started in later levels,
// a stop that ends the pass at its atom, and a stop hook that throws.

#include "core/LwError.h"
#include "core/LwNotifyTerminate.h"
#include "physics/LwOrderedAtomPass.h"
#include "physics/LwWaveReexpansion.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <vector>

namespace {

// Answers yes at the n-th query (1-based; 0: never); throws at query
// `throwAt` instead (0: never). Safe to ask from several threads.
class ScriptedStop : public LwNotifyTerminate
{
public:
    ScriptedStop(int stopAt, int throwAt) : stopAt_(stopAt), throwAt_(throwAt) {}
    bool IsTerminate() override
    {
        const int query = ++queries_;
        if (query == throwAt_)
            throw LwError("stop hook failed");
        return query == stopAt_;
    }

private:
    std::atomic<int> queries_{0};
    int stopAt_;
    int throwAt_;
};

// Seven atoms in four levels, two of them run by the team.
const std::vector<std::vector<LwLong>> kLevels = {{0, 1}, {2, 3, 4, 5}, {6}, {7, 8}};
constexpr LwLong kAtoms = 9;

struct Case
{
    const char* name;
    std::set<LwLong> failing;  // atoms whose step throws after reading sizeL
    int stopAt;  // the query that answers yes, 0: none
    int throwAt;  // the query that throws, 0: none
    LwLong end;  // where an atom-after-atom run would end
    const char* error;  // the error thrown, empty: none
    bool stopped;
};

const Case kCases[] = {
    {"every atom runs", {}, 0, 0, kAtoms, "", false},
    // Atom 5 fails too, in the same level: the lower one's error wins, and
    // no atom of a later level starts.
    {"two failures in one level", {3, 5}, 0, 0, 3, "step of atom 3", false},
    {"failure in a level of one", {6}, 0, 0, 6, "step of atom 6", false},
    // Query 5 is atom 4's.
    {"stop in a team level", {}, 5, 0, 4, "", true},
    // The stop at atom 4 comes after atom 3's failure: the failure counts.
    {"failure before the stop", {3}, 5, 0, 3, "step of atom 3", false},
    {"stop hook throws", {}, 0, 3, 2, "stop hook failed", false},
};

// What an atom-after-atom run prints for atoms [0, end]: the progress line,
// then the step's line when the step ran (not for the atom that stopped).
std::string ExpectedConsole(const Case& c)
{
    std::string text;
    for (LwLong atom = 0; atom < kAtoms && atom <= c.end; ++atom) {
        text += "StIndex: 2/3, EWIndex: 1/1, MuIndex: 1/1, AtIndex: " + std::to_string(atom + 1) + " / " +
                std::to_string(kAtoms) + "\n";
        const bool stopsHere = c.stopped && atom == c.end;
        const bool hookFailsHere = c.throwAt != 0 && atom == c.end && c.failing.count(atom) == 0;
        if (!stopsHere && !hookFailsHere)
            text += "step " + std::to_string(atom) + "\n";
    }
    return text;
}

TEST(LwOrderedAtomPass, EndsWhereAnAtomAfterAtomRunWouldAtAnyThreadCount)
{
    for (int threads : {1, 4}) {
        for (const Case& c : kCases) {
            SCOPED_TRACE(std::string(c.name) + ", threads " + std::to_string(threads));
            ScriptedStop stop(c.stopAt, c.throwAt);
            std::vector<std::atomic<int>> runs(kAtoms);
            LwOrderedAtomPass pass(kAtoms, {1, 3, 0, 1, 0, 1}, stop,
                                   [&](LwLong atom, LwWaveReexpansion&, std::string& console, LwLong& sizeL) {
                                       ++runs[std::size_t(atom)];
                                       console += "step " + std::to_string(atom) + "\n";
                                       sizeL = 10 + atom;
                                       if (c.failing.count(atom))
                                           throw LwError("step of atom " + std::to_string(atom));
                                   });
            LwWaveReexpansion alone;
            LwOrderedAtomPass::TeamCalculators team(threads);
            testing::internal::CaptureStdout();
            pass.Run(kLevels, alone, team);
            const std::string console = testing::internal::GetCapturedStdout();

            EXPECT_EQ(console, ExpectedConsole(c));
            EXPECT_EQ(pass.End(), c.end);
            // The last atom up to the end whose step ran (the failing one
            // read its length before it threw).
            LwLong lastRun = -1;
            for (LwLong atom = 0; atom < kAtoms && atom <= c.end; ++atom)
                if (runs[std::size_t(atom)].load() > 0)
                    lastRun = atom;
            EXPECT_EQ(pass.LastSizeL(), lastRun < 0 ? -1 : 10 + lastRun);
            // Each atom runs at most once, and when the pass ends in the
            // first two levels no atom of the later ones (6 and up) starts.
            for (LwLong atom = 0; atom < kAtoms; ++atom) {
                EXPECT_LE(runs[std::size_t(atom)].load(), 1) << "atom " << atom;
                if (c.end < 6 && atom >= 6) {
                    EXPECT_EQ(runs[std::size_t(atom)].load(), 0) << "atom " << atom;
                }
            }
            if (*c.error == '\0') {
                EXPECT_EQ(pass.RethrowOrStopped(), c.stopped);
            } else {
                try {
                    pass.RethrowOrStopped();
                    ADD_FAILURE() << "no error thrown";
                } catch (const LwError& e) {
                    EXPECT_EQ(e.Message(), c.error);
                }
            }
        }
    }
}

TEST(LwOrderedAtomPass, NoAtomsNoLinesNoSizeL)
{
    ScriptedStop stop(0, 0);
    LwOrderedAtomPass pass(0, {}, stop, [](LwLong, LwWaveReexpansion&, std::string&, LwLong&) {
        ADD_FAILURE() << "a step ran";
    });
    LwWaveReexpansion alone;
    LwOrderedAtomPass::TeamCalculators team(2);
    testing::internal::CaptureStdout();
    pass.Run({}, alone, team);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(pass.End(), 0);
    EXPECT_EQ(pass.LastSizeL(), -1);
    EXPECT_FALSE(pass.RethrowOrStopped());
}

}  // namespace

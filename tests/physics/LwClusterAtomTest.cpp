#include "core/LwError.h"
#include "physics/LwClusterAtom.h"
#include "ErrorText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

namespace {

LwLDoubleMatrix Vector3(LDouble x, LDouble y, LDouble z)
{
    LwLDoubleMatrix v(3);
    const int b = v.VectorBegin();
    v[b] = x;
    v[b + 1] = y;
    v[b + 2] = z;
    return v;
}

LwClusterAtom AtomAt(const std::string& name, LDouble x, LDouble y, LDouble z)
{
    LwClusterAtom atom;
    atom.Name_ = name;
    atom.Atom_ = "Cu";
    atom.SetPositionAngstrom(Vector3(x, y, z));
    return atom;
}

std::vector<std::string> NamesOf(const LwStructure& structure)
{
    std::vector<std::string> names;
    for (const LwClusterAtom& atom : structure)
        names.push_back(atom.Name_);
    return names;
}

struct Xyz
{
    LDouble x, y, z;
};

Xyz MetresOf(const LwClusterAtom& atom)
{
    return {atom.Position_[0], atom.Position_[1], atom.Position_[2]};
}

// Reference for the orderings: the place-by-place selection of the first
// smallest key (std::min_element returns the first of equal minima), done on
// a permutation of names.
std::vector<std::string> SelectionOrder(std::vector<std::string> names, std::vector<double> keys)
{
    for (std::size_t i = 0; i + 1 < keys.size(); ++i) {
        const std::size_t m = std::min_element(keys.begin() + i, keys.end()) - keys.begin();
        std::swap(keys[i], keys[m]);
        std::swap(names[i], names[m]);
    }
    return names;
}

// Atoms on a small integer grid (Angstrom), so that many share a distance, a
// depth or a projection; names are the original indices. The references
// below compute the keys as the orderings define them, from the positions in
// metres, so that keys that tie (or just fail to tie by a rounding) tie the
// same way in both.
LwStructure GridStructure(std::mt19937& rng, int n)
{
    std::uniform_int_distribution<int> coordinate(-2, 2);
    LwStructure structure;
    for (int i = 0; i < n; ++i)
        structure.push_back(AtomAt(std::to_string(i), coordinate(rng), coordinate(rng), coordinate(rng)));
    return structure;
}

}  // namespace

TEST(LwClusterAtom, NewAtomIsAtTheOriginWithoutU)
{
    const LwClusterAtom atom;
    EXPECT_EQ(atom.Position_.VectorSize(), 3);
    EXPECT_EQ(atom.Position_.VectorBegin(), 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(atom.Position_[i], 0);
    EXPECT_TRUE(atom.Name_.empty());
    EXPECT_TRUE(atom.Atom_.empty());
    EXPECT_EQ(atom.Valency_, 0.0);
    EXPECT_TRUE(atom.U_.IsEmpty());
}

TEST(LwClusterAtom, AngstromAccessorsConvertUnits)
{
    LwClusterAtom atom;
    atom.SetPositionAngstrom(Vector3(1.5, -2.0, 2.55));
    EXPECT_NEAR(static_cast<double>(atom.Position_[2]), 2.55e-10, 1e-25);
    EXPECT_NEAR(static_cast<double>(atom.Position_[0]), 1.5e-10, 1e-25);
    const LwLDoubleMatrix back = atom.GetPositionAngstrom();
    EXPECT_NEAR(static_cast<double>(back[1]), -2.0, 1e-14);

    LwLDoubleMatrix iso(1, 1);
    iso(0, 0) = 0.01;
    atom.SetUAngstrom2(iso);
    ASSERT_EQ(atom.U_.ColSize, 1);
    ASSERT_EQ(atom.U_.RowSize, 1);
    EXPECT_NEAR(static_cast<double>(atom.U_(0, 0)), 1e-22, 1e-36);
    EXPECT_NEAR(static_cast<double>(atom.GetUAngstrom2()(0, 0)), 0.01, 1e-16);

    atom.SetUAngstrom2(LwLDoubleMatrix());
    EXPECT_TRUE(atom.U_.IsEmpty());
    EXPECT_TRUE(atom.GetUAngstrom2().IsEmpty());
}

TEST(SortAtoms, ByDistanceNearestFirst)
{
    LwStructure structure = {AtomAt("z2", 0, 0, 2), AtomAt("z1", 0, 0, 1), AtomAt("origin", 0, 0, 0)};
    SortAtomsByDistance(structure);
    EXPECT_EQ(NamesOf(structure), (std::vector<std::string>{"origin", "z1", "z2"}));
}

TEST(SortAtoms, EqualKeysAreNotKeptInOrder)
{
    // Keys 1, 1, 0: the atom of key 0 is swapped with the first one, so the
    // two atoms of key 1 end exchanged.
    LwStructure structure = {AtomAt("a", 1, 0, 0), AtomAt("b", 0, 1, 0), AtomAt("c", 0, 0, 0)};
    SortAtomsByDistance(structure);
    EXPECT_EQ(NamesOf(structure), (std::vector<std::string>{"c", "b", "a"}));
}

TEST(SortAtoms, ByDistanceMatchesTheReferenceSelection)
{
    std::mt19937 rng(20261210);
    for (int trial = 0; trial < 200; ++trial) {
        SCOPED_TRACE(trial);
        LwStructure structure = GridStructure(rng, 1 + trial % 17);
        std::vector<double> keys;
        for (const LwClusterAtom& atom : structure) {
            const Xyz p = MetresOf(atom);
            keys.push_back(static_cast<double>((p.y * p.y + p.x * p.x) + p.z * p.z));
        }
        const std::vector<std::string> expected = SelectionOrder(NamesOf(structure), keys);
        SortAtomsByDistance(structure);
        EXPECT_EQ(NamesOf(structure), expected);
    }
}

TEST(SortAtoms, ByDepthMatchesTheReferenceSelection)
{
    std::mt19937 rng(7);
    for (int trial = 0; trial < 200; ++trial) {
        SCOPED_TRACE(trial);
        LwStructure structure = GridStructure(rng, 2 + trial % 15);
        // Make sure one atom lies below the origin plane and off the z axis.
        structure.push_back(AtomAt("deep", 1, 0, -3));
        std::vector<LDouble> depth, lateral;
        for (const LwClusterAtom& atom : structure) {
            const Xyz p = MetresOf(atom);
            depth.push_back(-p.z);
            lateral.push_back(std::sqrt(p.y * p.y + p.x * p.x));
        }
        const LDouble d = *std::max_element(depth.begin(), depth.end());
        const LDouble l = *std::max_element(lateral.begin(), lateral.end());
        std::vector<double> keys(depth.size());
        keys[0] = static_cast<double>(lateral[0]);
        for (std::size_t i = 1; i < keys.size(); ++i)
            keys[i] = static_cast<double>(depth[i] / d * 1e6 - lateral[i] / l);
        const std::vector<std::string> expected = SelectionOrder(NamesOf(structure), keys);
        SortAtomsByDepth(structure);
        EXPECT_EQ(NamesOf(structure), expected);
    }
}

TEST(SortAtoms, ByDepthShallowFirstAndFartherFirstAtEqualDepth)
{
    LwStructure structure = {AtomAt("emitter", 0, 0, 0), AtomAt("deep", 0, 0, -4), AtomAt("near", 1, 0, -2),
                             AtomAt("far", 3, 0, -2), AtomAt("above", 0, 2, 1)};
    SortAtomsByDepth(structure);
    EXPECT_EQ(NamesOf(structure), (std::vector<std::string>{"above", "emitter", "far", "near", "deep"}));
}

TEST(SortAtoms, ByDepthWithoutDeepAtomsOrOffAxisAtomsStaysFinite)
{
    {
        SCOPED_TRACE("nothing below the origin plane: still shallowest first");
        LwStructure structure = {AtomAt("emitter", 0, 0, 0), AtomAt("z1", 1, 0, 1), AtomAt("z3", 0, 1, 3),
                                 AtomAt("z2", 0, 0, 2)};
        SortAtomsByDepth(structure);
        EXPECT_EQ(NamesOf(structure), (std::vector<std::string>{"z3", "z2", "z1", "emitter"}));
    }
    {
        SCOPED_TRACE("every atom on the z axis: by depth");
        LwStructure structure = {AtomAt("emitter", 0, 0, 0), AtomAt("m2", 0, 0, -2), AtomAt("p1", 0, 0, 1),
                                 AtomAt("m1", 0, 0, -1)};
        SortAtomsByDepth(structure);
        EXPECT_EQ(NamesOf(structure), (std::vector<std::string>{"p1", "emitter", "m1", "m2"}));
    }
    {
        SCOPED_TRACE("a single atom and an empty structure");
        LwStructure one = {AtomAt("only", 0, 0, 0)};
        SortAtomsByDepth(one);
        EXPECT_EQ(NamesOf(one), std::vector<std::string>{"only"});
        LwStructure none;
        SortAtomsByDepth(none);
        EXPECT_TRUE(none.empty());
    }
}

TEST(SortAtoms, AlongWaveVectorMatchesTheReferenceSelection)
{
    std::mt19937 rng(99);
    std::uniform_int_distribution<int> component(-3, 3);
    for (int trial = 0; trial < 200; ++trial) {
        SCOPED_TRACE(trial);
        LwStructure structure = GridStructure(rng, 1 + trial % 16);
        int kx, ky, kz;
        do {
            kx = component(rng);
            ky = component(rng);
            kz = component(rng);
        } while (kx == 0 && ky == 0 && kz == 0);
        const LDouble length = std::sqrt(LDouble(kx * kx + ky * ky + kz * kz));
        const LDouble inverse = 1.0 / length;
        const Xyz u = {kx * inverse, ky * inverse, kz * inverse};
        std::vector<double> keys;
        for (const LwClusterAtom& atom : structure) {
            const Xyz p = MetresOf(atom);
            const bool atOrigin = p.x * p.x + p.y * p.y + p.z * p.z < static_cast<LDouble>(1e-22L);
            keys.push_back(atOrigin ? -10000.0 : static_cast<double>((p.x * u.x + p.y * u.y) + p.z * u.z));
        }
        const std::vector<std::string> expected = SelectionOrder(NamesOf(structure), keys);
        SortAtomsAlongWaveVector(structure, Vector3(kx, ky, kz));
        EXPECT_EQ(NamesOf(structure), expected);
    }
}

TEST(SortAtoms, AlongWaveVectorPutsTheEmitterFirst)
{
    LwStructure structure = {AtomAt("back", 0, 0, -2), AtomAt("front", 0, 0, 2),
                             AtomAt("emitter", 0, 0, 0.05), AtomAt("side", 3, 0, 0)};
    // The emitter (within 0.1 A of the origin) comes first although the atom
    // behind it has a smaller projection; the length of the direction does
    // not matter.
    SortAtomsAlongWaveVector(structure, Vector3(0, 0, 5));
    EXPECT_EQ(NamesOf(structure), (std::vector<std::string>{"emitter", "back", "side", "front"}));
}

TEST(SortAtoms, ZeroWaveVectorIsRefused)
{
    LwStructure structure = {AtomAt("a", 1, 0, 0), AtomAt("b", 0, 0, 0)};
    EXPECT_EQ(ErrorText([&] { SortAtomsAlongWaveVector(structure, Vector3(0, 0, 0)); }),
              "ERROR: WAVE VECTOR IS ZERO");
    EXPECT_EQ(NamesOf(structure), (std::vector<std::string>{"a", "b"}));
}

TEST(CheckStructure, AcceptsAValidStructureAndOrdersIt)
{
    LwStructure structure = {AtomAt("far", 0, 0, 0.5001), AtomAt("emitter", 0.005, 0, 0),
                             AtomAt("x", 2, 0, 0)};
    EXPECT_NO_THROW(CheckStructure(structure));
    EXPECT_EQ(NamesOf(structure), (std::vector<std::string>{"emitter", "far", "x"}));
}

TEST(CheckStructure, Failures)
{
    const struct
    {
        const char* reason;
        LwStructure structure;
        const char* message;
    } cases[] = {
        {"no atom", {}, "Structure has no atom"},
        {"emitter 0.3 A off the origin",
         {AtomAt("a", 0, 0, 0.3), AtomAt("b", 2, 0, 0)},
         "Emitter shoud be located at origin (0,0,0)"},
        {"emitter 0.01 A off", {AtomAt("a", 0.01, 0, 0)}, "Emitter shoud be located at origin (0,0,0)"},
        {"exactly 0.5 A from the emitter",
         {AtomAt("a", 0, 0, 0), AtomAt("b", 0, 0.5, 0)},
         "Atomic distance should be larger thatn 0.5A 0.vs.1"},
        {"two atoms 0.3 A apart",
         {AtomAt("a", 0.3, 0, 0), AtomAt("b", 0, 0, 0)},
         "Atomic distance should be larger thatn 0.5A 0.vs.1"},
        {"exactly 0.5 A apart, named in the new order",
         {AtomAt("c", 2, 0.5, 0), AtomAt("b", 2, 0, 0), AtomAt("a", 0, 0, 0)},
         "Atomic distance should be larger thatn 0.5A 1.vs.2"},
        {"two atoms on the same place",
         {AtomAt("a", 0, 0, 0), AtomAt("b", 1, 1, 1), AtomAt("c", 1, 1, 1)},
         "Atomic distance should be larger thatn 0.5A 1.vs.2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        LwStructure structure = c.structure;
        EXPECT_EQ(ErrorText([&] { CheckStructure(structure); }), c.message);
    }
}

TEST(CheckCluster, NamesTheFailingStructure)
{
    const LwStructure good = {AtomAt("far", 3, 0, 0), AtomAt("emitter", 0, 0, 0)};
    const LwStructure offOrigin = {AtomAt("far", 3, 0, 0), AtomAt("emitter", 0, 0, 0.3)};
    LwCluster cluster = {good, good, offOrigin, good};
    EXPECT_EQ(ErrorText([&] { CheckCluster(cluster); }),
              "Emitter shoud be located at origin (0,0,0)/CLUSER:2");
    // Up to the failing structure everything is ordered; the rest untouched.
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(cluster[k][0].Name_, "emitter") << k;
    EXPECT_EQ(cluster[3][0].Name_, "far");

    LwCluster overlap = {good, {AtomAt("emitter", 0, 0, 0), AtomAt("b", 0.3, 0, 0)}};
    EXPECT_EQ(ErrorText([&] { CheckCluster(overlap); }),
              "Atomic distance should be larger thatn 0.5A 0.vs.1/CLUSER:1");

    LwCluster empty = {good, {}};
    EXPECT_EQ(ErrorText([&] { CheckCluster(empty); }), "Structure has no atom/CLUSER:1");

    LwCluster none;
    EXPECT_NO_THROW(CheckCluster(none));
}

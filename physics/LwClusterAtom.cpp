#include "physics/LwClusterAtom.h"

#include "core/LwConstants.h"
#include "core/LwError.h"
#include "core/TextUtilities.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

const LDouble kMetrePerAngstrom = static_cast<LDouble>(LwConst::AngstromLong_m);
const LDouble kAngstromPerMetre = static_cast<LDouble>(LwConst::AngstromPerMetre);
const LDouble kSquareMetrePerSquareAngstrom = static_cast<LDouble>(LwConst::SquareAngstromLong_m2);
const LDouble kSquareAngstromPerSquareMetre = static_cast<LDouble>(LwConst::SquareAngstromPerSquareMetre);

struct Xyz
{
    LDouble x, y, z;
};

Xyz PositionOf(const LwLDoubleMatrix& v)
{
    const int b = v.VectorBegin();
    return {v[b], v[b + 1], v[b + 2]};
}

// The ascending selection sort shared by the three orderings (see header).
void SelectionSortByKeys(LwStructure& structure, std::vector<double>& keys)
{
    const std::size_t n = structure.size();
    for (std::size_t i = 0; i + 1 < n; ++i) {
        std::size_t minIndex = i;
        double minKey = keys[i];
        for (std::size_t j = i + 1; j < n; ++j) {
            if (keys[j] < minKey) {
                minKey = keys[j];
                minIndex = j;
            }
        }
        if (minIndex != i) {
            std::swap(structure[i], structure[minIndex]);
            std::swap(keys[i], keys[minIndex]);
        }
    }
}

}  // namespace

LwClusterAtom::LwClusterAtom() : Position_(3)
{
    Position_.SetZero();
}

LwLDoubleMatrix LwClusterAtom::GetPositionAngstrom() const
{
    return Position_ * kAngstromPerMetre;
}

void LwClusterAtom::SetPositionAngstrom(LwLDoubleMatrix positionAngstrom)
{
    Position_ = positionAngstrom * kMetrePerAngstrom;
}

LwLDoubleMatrix LwClusterAtom::GetUAngstrom2() const
{
    return U_ * kSquareAngstromPerSquareMetre;
}

void LwClusterAtom::SetUAngstrom2(const LwLDoubleMatrix& uAngstrom2)
{
    U_ = uAngstrom2 * kSquareMetrePerSquareAngstrom;
}

void SortAtomsByDistance(LwStructure& structure)
{
    std::vector<double> keys(structure.size());
    for (std::size_t i = 0; i < structure.size(); ++i) {
        const Xyz p = PositionOf(structure[i].Position_);
        keys[i] = static_cast<double>((p.y * p.y + p.x * p.x) + p.z * p.z);
    }
    SelectionSortByKeys(structure, keys);
}

void SortAtomsByDepth(LwStructure& structure)
{
    const std::size_t n = structure.size();
    if (n == 0)
        return;
    std::vector<LDouble> depth(n), lateral(n);
    for (std::size_t i = 0; i < n; ++i) {
        const Xyz p = PositionOf(structure[i].Position_);
        depth[i] = -p.z;
        lateral[i] = std::sqrt(p.y * p.y + p.x * p.x);
    }
    LDouble maxDepth = *std::max_element(depth.begin(), depth.end());
    const LDouble maxLateral = *std::max_element(lateral.begin(), lateral.end());
    if (!(maxDepth > 0)) {
        // Nothing below the origin plane: scale by the largest magnitude so
        // the depth order is kept and the keys stay finite.
        maxDepth = 0;
        for (LDouble d : depth)
            maxDepth = std::max(maxDepth, std::fabs(d));
    }

    std::vector<double> keys(n);
    keys[0] = static_cast<double>(lateral[0]);
    for (std::size_t i = 1; i < n; ++i) {
        const LDouble depthTerm = maxDepth > 0 ? depth[i] / maxDepth * 1e6 : 0;
        const LDouble lateralTerm = maxLateral > 0 ? lateral[i] / maxLateral : 0;
        keys[i] = static_cast<double>(depthTerm - lateralTerm);
    }
    SelectionSortByKeys(structure, keys);
}

void SortAtomsAlongWaveVector(LwStructure& structure, LwLDoubleMatrix direction)
{
    const Xyz k = PositionOf(direction);
    const LDouble length = std::sqrt(k.x * k.x + k.y * k.y + k.z * k.z);
    if (length == 0)
        throw LwError("ERROR: WAVE VECTOR IS ZERO");
    const LDouble inverse = 1.0 / length;
    const Xyz u = {k.x * inverse, k.y * inverse, k.z * inverse};

    // Closer than 0.1 Angstrom to the origin: the emitter, ordered first.
    const LDouble emitterRadiusSquared = static_cast<LDouble>(1e-22L);
    std::vector<double> keys(structure.size());
    for (std::size_t i = 0; i < structure.size(); ++i) {
        const Xyz p = PositionOf(structure[i].Position_);
        if (p.x * p.x + p.y * p.y + p.z * p.z < emitterRadiusSquared)
            keys[i] = -10000.0;
        else
            keys[i] = static_cast<double>((p.x * u.x + p.y * u.y) + p.z * u.z);
    }
    SelectionSortByKeys(structure, keys);
}

void CheckStructure(LwStructure& structure)
{
    if (structure.empty())
        throw LwError("Structure has no atom");
    SortAtomsByDistance(structure);

    std::vector<Xyz> positions;
    positions.reserve(structure.size());
    for (const LwClusterAtom& atom : structure)
        positions.push_back(PositionOf(atom.GetPositionAngstrom()));

    const Xyz& p0 = positions[0];
    if (std::sqrt(p0.x * p0.x + p0.y * p0.y + p0.z * p0.z) >= 0.01)
        throw LwError("Emitter shoud be located at origin (0,0,0)");

    // Atoms closer than this (0.5 Angstrom, squared) overlap.
    const LDouble minDistanceSquared = 0.25;
    for (std::size_t i = 0; i < positions.size(); ++i) {
        for (std::size_t j = i + 1; j < positions.size(); ++j) {
            const LDouble dx = positions[j].x - positions[i].x;
            const LDouble dy = positions[j].y - positions[i].y;
            const LDouble dz = positions[j].z - positions[i].z;
            if (dx * dx + dy * dy + dz * dz <= minDistanceSquared)
                throw LwError("Atomic distance should be larger thatn 0.5A " +
                              LongToString(static_cast<LwLong>(i)) + ".vs." +
                              LongToString(static_cast<LwLong>(j)));
        }
    }
}

void CheckCluster(LwCluster& cluster)
{
    for (std::size_t k = 0; k < cluster.size(); ++k) {
        try {
            CheckStructure(cluster[k]);
        } catch (LwError& e) {
            e.AddFunction("CLUSER:" + LongToString(static_cast<LwLong>(k)));
            throw;
        }
    }
}

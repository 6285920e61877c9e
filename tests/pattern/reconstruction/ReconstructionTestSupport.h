#pragma once
// Shared pieces of the reconstruction tests: small data sets with known
// values, and a round trip of any serializer through a Barn text or through
// either file class.

#include "core/LwBarnFile.h"
#include "core/LwBarnXml.h"
#include "core/LwQBarnFile.h"
#include "pattern/reconstruction/LwDocCalcMem.h"

#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace recon_test {

// How a document travels in a round trip.
enum class Carrier { Text, BarnFile, QBarnFile };

inline const char* CarrierName(Carrier c)
{
    switch (c) {
    case Carrier::Text: return "text";
    case Carrier::BarnFile: return "LwBarnFile";
    case Carrier::QBarnFile: return "LwQBarnFile";
    }
    return "?";
}

// The text a write-mode serializer produces.
template <class Serialize>
std::string WrittenText(Serialize&& serialize)
{
    LwBarnXml doc("w");
    serialize(doc);
    std::string text;
    doc.ToString(text);
    return text;
}

// Runs `read` on a read-mode document holding `text`.
template <class Read>
void ReadText(const std::string& text, Read&& read)
{
    LwBarnXml doc("r");
    doc.FromString(text);
    read(doc);
}

// Writes with `write` and reads back with `read` through the carrier.
template <class Write, class Read>
void RoundTrip(Carrier carrier, Write&& write, Read&& read)
{
    if (carrier == Carrier::Text) {
        ReadText(WrittenText(write), read);
        return;
    }
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString name = dir.filePath("doc.xml_rs");
    if (carrier == Carrier::BarnFile) {
        {
            LwBarnFile out(name.toStdString(), "w");
            write(out);
            out.Save();
        }
        LwBarnFile in(name.toStdString(), "r");
        read(in);
    } else {
        {
            LwQBarnFile out(name, "w");
            write(out);
            out.Save();
        }
        LwQBarnFile in(name, "r");
        read(in);
    }
}

inline LwFloatMatrix RandomVector(std::mt19937& rng, int n, bool row = false)
{
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    LwFloatMatrix m = row ? LwFloatMatrix(n, 1) : LwFloatMatrix(1, n);
    for (int i = 0; i < n; ++i)
        m.Buffer()[i] = u(rng);
    return m;
}

inline void ExpectSameMatrix(const LwFloatMatrix& a, const LwFloatMatrix& b)
{
    ASSERT_EQ(a.ColSize, b.ColSize);
    ASSERT_EQ(a.RowSize, b.RowSize);
    EXPECT_EQ(a.ColBegin, b.ColBegin);
    EXPECT_EQ(a.RowBegin, b.RowBegin);
    for (int i = 0; i < a.ElementCount(); ++i)
        ASSERT_EQ(a.Buffer()[i], b.Buffer()[i]) << "element " << i;
}

// A grid of nx x ny x nz points with step `step` around the origin (the
// counts odd so that the origin is a grid point), the counts in the record.
inline void SetCubeGrid(LwRealSpaceGrid& g, int nx, int ny, int nz, float step)
{
    g.Dx_ = step;
    g.XMin_ = -step * static_cast<float>(nx / 2);
    g.XMax_ = step * static_cast<float>(nx / 2);
    g.YMin_ = -step * static_cast<float>(ny / 2);
    g.YMax_ = step * static_cast<float>(ny / 2);
    g.ZMin_ = -step * static_cast<float>(nz / 2);
    g.ZMax_ = step * static_cast<float>(nz / 2);
    g.XCount_ = nx;
    g.YCount_ = ny;
    g.ZCount_ = nz;
}

// A complete small document: 5 x 5 x 5 grid with two elements, two hologram
// items of six directions, a two-energy pattern set and a hologram parameter
// set, every value known.
inline void FillSmallDocument(LwDocCalcMem& d, unsigned seed = 7)
{
    std::mt19937 rng(seed);
    d.fratio_ = 0.75f;
    d.Lambda_ = 0.5f;
    d.CutoffRatio_ = 0.001f;
    d.LoopCount_ = 12;
    d.AutoSave_ = 3;
    d.MinRMS_ = 0.25f;
    d.NDefocus_ = 2;
    d.DefocusWeightSurround_ = 0.125f;
    d.IsRemoveMinimum_ = true;
    d.IsReduceGradient_ = true;
    d.ReduceGradientRatio_ = 0.5f;
    d.IsRemoveAverage_ = true;
    d.RemoveAverageRatio_ = 0.25f;
    d.IsSmoothingErr_ = true;
    d.SmoothingErrN_ = 4;
    d.IsUseEstimateMaxUseABS_ = false;
    d.RmsHistory_ = {0.5f, 0.25f, 0.125f};
    d.MaxHistory_ = {1.5f, 2.5f, 3.5f};

    d.HologramParam_.HologramMeshLevel_ = 4;
    d.HologramParam_.NumberOfElement_ = 2;
    LwHologramItem item;
    item.Caption_ = "Fe <K> & \"edge\"";
    item.Energy_ = 7.125;
    item.KessarEffect_ = 1;
    item.Patterns_ = {{"p1"}, {"p2"}};
    d.HologramParam_.Items_ = {item, item};
    d.HologramParam_.Items_[1].Energy_ = 8.5;

    LwKSpaceData& k = d.KSpace_;
    const int nk = 6;
    k.Ux_ = RandomVector(rng, nk);
    k.Uy_ = RandomVector(rng, nk);
    k.Uz_ = RandomVector(rng, nk);
    k.NPoint_ = nk;
    k.NList_ = 2;
    k.E_ = {1000.0f, 2000.0f};
    for (int i = 0; i < 2; ++i) {
        k.Exp_.push_back(RandomVector(rng, nk));
        k.Cal_.push_back(RandomVector(rng, nk));
        k.Err_.push_back(RandomVector(rng, nk));
        k.ForwardGradient_.push_back(RandomVector(rng, nk));
    }

    LwRealSpaceData& r = d.RealSpace_;
    SetCubeGrid(r.Grid_, 5, 5, 5, 1e-10f);
    r.Grid_.NElement_ = 2;
    r.CreateFromGrid();
    r.TotalPower_ = 2.5f;
    r.ElementRatio_ = {0.25f, 0.75f};
    for (LwFloatMatrix& v : r.Density_)
        v = RandomVector(rng, r.NPoint_, true);

    LwScatteringPattern& s = d.ScatteringPattern_;
    s.R_N_ = 4;
    s.Z_N_ = 5;
    s.R_Min_ = 1e-10f;
    s.R_Step_ = 5e-11f;
    s.Ek_eV_ = {1000.0f, 2000.0f};
    s.Element_ = {"Fe", "O"};
    s.Pattern_.assign(2, std::vector<LwFloatMatrix>());
    for (auto& list : s.Pattern_)
        for (int e = 0; e < 2; ++e) {
            LwFloatMatrix p(4 * (e + 1), 5);
            for (int i = 0; i < p.ElementCount(); ++i)
                p.Buffer()[i] = static_cast<float>(rng() % 1000) / 100.0f;
            list.push_back(p);
        }
}

}  // namespace recon_test

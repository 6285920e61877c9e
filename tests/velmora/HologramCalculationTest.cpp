#include "core/LwError.h"
#include "pattern/LwDocPattern.h"
#include "apps/velmora/engine/HologramCalculation.h"
#include "apps/velmora/engine/LwDocPatternVelmora.h"
#include "ErrorText.h"
#include "ReferenceConstants.h"

#include <gtest/gtest.h>
#include <omp.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <complex>
#include <functional>
#include <iterator>
#include <memory>
#include <thread>

namespace {

// International Tables coefficients of the elements the cases use.
const char* const kTableText =
    "Z,Ion,Name,a1,b1,a2,b2,a3,b3,a4,b4,c\r\n"
    "26,Fe,iron,11.7695,4.7611,7.3573,0.3072,3.5222,15.3535,2.3045,76.8805,1.0369\r\n"
    "26,Fe2+,iron,11.0424,4.6538,7.374,0.3053,4.1346,12.0546,0.4399,31.2809,1.0097\r\n"
    "8,O,oxygen,3.0485,13.2771,2.2868,5.7011,1.5463,0.3239,0.867,32.9089,0.2508\r\n";

struct Coefficients
{
    double a[4], b[4], c;
};
const Coefficients kFe = {{11.7695, 7.3573, 3.5222, 2.3045}, {4.7611, 0.3072, 15.3535, 76.8805}, 1.0369};
const Coefficients kO = {{3.0485, 2.2868, 1.5463, 0.867}, {13.2771, 5.7011, 0.3239, 32.9089}, 0.2508};

constexpr double kEnergy_eV = 10000;
const double kLambda_m =
    Reference::Planck_Js * Reference::SpeedOfLight_mps / (kEnergy_eV * Reference::ElementaryCharge_C);
const double kK = 2 * Reference::Pi / kLambda_m;

LwClusterAtom Atom(const std::string& symbol, double xA, double yA, double zA, double valency = 0,
                   double uisoA2 = -1)
{
    LwClusterAtom atom;
    atom.Atom_ = symbol;
    atom.Position_[0] = xA * Reference::Angstrom_m;
    atom.Position_[1] = yA * Reference::Angstrom_m;
    atom.Position_[2] = zA * Reference::Angstrom_m;
    atom.Valency_ = valency;
    if (uisoA2 >= 0) {
        atom.U_.Create(1, 1);
        atom.U_(0, 0) = uisoA2 * Reference::SquareAngstrom_m2;
    }
    return atom;
}

// The Debye model written out: U = 3 hbar^2 T / (M u kB ThetaD^2).
double DebyeU(double temperature, double weight, double thetaD)
{
    const double hbar = Reference::Planck_Js / (2 * Reference::Pi);
    return 3 * hbar * hbar * temperature /
           (weight * Reference::AtomicMassUnit_kg * Reference::Boltzmann_JperK * thetaD * thetaD);
}

// The hologram term of one scatterer, from the physics: the fluorescent wave
// of the emitter at the origin, scattered by the atom at `position` (m) into
// the direction d, against the direct wave; U the summed mean-square
// displacement (m^2).
double ReferenceTerm(const double d[3], const double position[3], const Coefficients& f, double f1, double f2,
                     double u, bool drawDamping)
{
    const double r =
        std::sqrt(position[0] * position[0] + position[1] * position[1] + position[2] * position[2]);
    double cosine = 0;
    for (int i = 0; i < 3; ++i)
        cosine += d[i] * position[i] / r;
    const double theta = std::acos(std::max(-1.0, std::min(1.0, cosine)));
    const double s = std::sin(theta / 2) / (kLambda_m * Reference::AngstromPerMetre);
    double f0 = f.c;
    for (int i = 0; i < 4; ++i)
        f0 += f.a[i] * std::exp(-f.b[i] * s * s);
    const std::complex<double> amplitude(f0 + f1, f2);
    const double t = -std::real(amplitude * std::exp(std::complex<double>(0, kK * r * (1 - cosine)))) /
                     (r * Reference::AngstromPerMetre);
    if (u <= 0)
        return t;
    const double damping = std::exp(-kK * kK * u * (1 - cosine));
    return drawDamping ? damping : t * damping;
}

class HologramCalculationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        LoadAsfTable(calc.AsfTable, kTableText);
        calc.AtomicWeights.assign(104, 0.0);
        calc.AtomicWeights[8] = 15;
        calc.AtomicWeights[26] = 55;
        calc.SetPhotonEnergy_eV(kEnergy_eV);
        calc.Temperature_K = 300;
    }

    // An equidistant-cylindrical document of the given resolution with all
    // `structures` selected and its grid built.
    static LwDocPattern_EquidistantCylindrical Document(int structures, double resolutionDeg = 10)
    {
        LwDocPattern_EquidistantCylindrical doc;
        doc.Resolution_deg_ = resolutionDeg;
        doc.SetRecordSelection(structures, true);
        doc.InitSphericalMap();
        return doc;
    }

    LwLDoubleMatrix Image(const LwCluster& cluster, double resolutionDeg = 10)
    {
        auto doc = Document(static_cast<int>(cluster.size()), resolutionDeg);
        calc.Run(doc, cluster);
        return doc.Grid.Planes[0];
    }

    static void ExpectImagesNear(const LwLDoubleMatrix& a, const LwLDoubleMatrix& b, double tolerance)
    {
        ASSERT_TRUE(IsSameSize(a, b));
        for (int j = 0; j < a.RowSize; ++j)
            for (int i = 0; i < a.ColSize; ++i)
                ASSERT_NEAR(a(i, j), b(i, j), tolerance) << "pixel " << i << "," << j;
    }

    HologramCalculation calc;
};

}  // namespace

TEST_F(HologramCalculationTest, EnergyGivesWavelengthAndWaveNumber)
{
    calc.SetPhotonEnergy_eV(10000);
    EXPECT_EQ(calc.PhotonEnergy_eV, 10000);
    EXPECT_NEAR(calc.WaveLength_A, 1.23984, 5e-6);
    EXPECT_NEAR(calc.WaveNumber_m, 5.06773e10, 5e4);
    EXPECT_NEAR(calc.WaveNumber_m * calc.WaveLength_A * Reference::Angstrom_m, 2 * Reference::Pi, 1e-14);
}

TEST_F(HologramCalculationTest, SingleScattererMatchesThePhysics)
{
    struct Case
    {
        const char* name;
        ElementRow fe;  // Element empty: Fe not listed
        bool useUiso;
        bool notUseEmitterVibration;
        bool drawDamping;
        double expectedU;  // summed U of the scatterer, m^2
        double f1, f2;
    };
    const double uFe = DebyeU(300, 55, 470);
    const Case cases[] = {
        {"plain", {}, false, false, false, 0, 0, 0},
        {"anomalous", {"Fe", -3.1, 2.4, 0}, false, false, false, 0, -3.1, 2.4},
        {"debye damping", {"Fe", 0, 0, 470}, false, false, false, 2 * uFe, 0, 0},
        {"anomalous and damping", {"Fe", -3.1, 2.4, 470}, false, false, false, 2 * uFe, -3.1, 2.4},
        {"uiso replaces debye", {"Fe", -3.1, 2.4, 470}, true, false, false, 0.010e-20, -3.1, 2.4},
        {"emitter vibration not used", {"Fe", 0, 0, 470}, false, true, false, uFe, 0, 0},
        {"damping function drawn", {"Fe", -3.1, 2.4, 470}, false, false, true, 2 * uFe, -3.1, 2.4},
    };
    const double position[3] = {1.2e-10, -0.7e-10, 2.1e-10};
    const LwCluster cluster = {{Atom("Fe", 0, 0, 0, 0, 0.004), Atom("Fe", 1.2, -0.7, 2.1, 0, 0.006)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        calc.ElementMap.clear();
        if (!c.fe.Element.empty())
            calc.ElementMap["Fe"] = c.fe;
        calc.IsUseUiso = c.useUiso;
        calc.IsNotUseEmitterVibration = c.notUseEmitterVibration;
        calc.IsDrawDampingFunction = c.drawDamping;
        auto doc = Document(1);
        calc.Run(doc, cluster);
        const LwSphericalMapGrid& g = doc.Grid;
        double largest = 0;
        for (int j = 0; j < g.X.RowSize; ++j)
            for (int i = 0; i < g.X.ColSize; ++i) {
                const double d[3] = {g.X(i, j), g.Y(i, j), g.Z(i, j)};
                const double expected =
                    ReferenceTerm(d, position, kFe, c.f1, c.f2, c.expectedU, c.drawDamping);
                ASSERT_NEAR(g.Planes[0](i, j), expected, 1e-11) << "pixel " << i << "," << j;
                largest = std::max(largest, std::fabs(expected));
            }
        EXPECT_GT(largest, 0.5);  // the case is not trivially 0
    }
}

TEST_F(HologramCalculationTest, EveryProjectionShowsTheHologramOfItsPixelDirections)
{
    LwDocPattern_AzimuthalEquidistant azimuthal;
    azimuthal.Resolution_deg_ = 6;
    LwDocPattern_EquidistantCylindrical cylindrical;
    cylindrical.Resolution_deg_ = 12;
    LwDocPattern_Diana gnomonic;
    gnomonic.ImageSize_ = 21;
    LwDocPattern_StereoProjection stereographic;
    stereographic.ImageSize_ = 21;
    LwDocPattern_Orthographic orthographic;
    orthographic.ImageSize_ = 21;
    LwDocPattern* const documents[] = {&azimuthal, &cylindrical, &gnomonic, &stereographic, &orthographic};
    calc.ElementMap["Fe"] = {"Fe", -3.1, 2.4, 470};
    const double position[3] = {-0.9e-10, 1.6e-10, 1.9e-10};
    const LwCluster cluster = {{Atom("Fe", 0, 0, 0), Atom("Fe", -0.9, 1.6, 1.9)}};
    for (LwDocPattern* doc : documents) {
        doc->SetRecordSelection(1, true);
        doc->InitSphericalMap();
        SCOPED_TRACE(doc->Grid.Name);
        calc.Run(*doc, cluster);
        const LwSphericalMapGrid& g = doc->Grid;
        int inside = 0;
        for (int j = 0; j < g.X.RowSize; ++j)
            for (int i = 0; i < g.X.ColSize; ++i) {
                const double d[3] = {g.X(i, j), g.Y(i, j), g.Z(i, j)};
                const bool outside = d[0] == 0 && d[1] == 0 && d[2] == 0;
                const double expected =
                    outside ? 0.0
                            : ReferenceTerm(d, position, kFe, -3.1, 2.4, 2 * DebyeU(300, 55, 470), false);
                ASSERT_NEAR(g.Planes[0](i, j), expected, 1e-11) << "pixel " << i << "," << j;
                inside += !outside;
            }
        EXPECT_GT(inside, 100);
    }
}

TEST_F(HologramCalculationTest, ScatteringTermOfOneAtom)
{
    LwLDoubleMatrix d(3), u(3);
    const double dv[3] = {0.6, 0.0, 0.8}, uv[3] = {0.0, 0.6, 0.8}, r = 3e-10;
    for (int i = 0; i < 3; ++i) {
        d[i] = dv[i];
        u[i] = uv[i];
    }
    const double position[3] = {0, 0.6 * r, 0.8 * r};
    const int fe = FindAsfEntry(calc.AsfTable, 26, 0);
    // Without anomalous terms the term is -f0 cos(x) / r_A.
    EXPECT_NEAR(calc.ScatteringTerm(d, u, r, fe, 0, 0, 0, false),
                ReferenceTerm(dv, position, kFe, 0, 0, 0, false), 1e-13);
    // With U = 0 the damping function is not drawn, whatever the flag says.
    EXPECT_NEAR(calc.ScatteringTerm(d, u, r, fe, 1.5, 0.5, 0, true),
                ReferenceTerm(dv, position, kFe, 1.5, 0.5, 0, false), 1e-13);
    EXPECT_NEAR(calc.ScatteringTerm(d, u, r, fe, 1.5, 0.5, 2e-22, true),
                std::exp(-kK * kK * 2e-22 * (1 - 0.64)), 1e-15);
    EXPECT_EQ(ErrorText([&] { calc.ScatteringTerm(d, u, r, 99, 0, 0, 0, false); }),
              "AsfTable index is out of range");
}

TEST_F(HologramCalculationTest, StructuresAndAtomsAddUp)
{
    calc.ElementMap["Fe"] = {"Fe", -1.0, 3.0, 470};
    calc.ElementMap["O"] = {"O", 0.05, 0.03, 600};
    const LwStructure a = {Atom("Fe", 0, 0, 0), Atom("Fe", 2.0, 1.0, -1.5), Atom("O", -1.1, 2.2, 0.4)};
    const LwStructure b = {Atom("O", 1.7, -2.5, 3.3), Atom("Fe", 0, 0, 0)};
    const LwLDoubleMatrix both = Image({a, b});
    const LwLDoubleMatrix onlyA = Image({a});
    const LwLDoubleMatrix onlyB = Image({b});
    LwLDoubleMatrix sum = onlyA;
    sum += onlyB;
    ExpectImagesNear(both, sum, 1e-12);

    // A structure left unchecked contributes nothing.
    auto doc = Document(2);
    doc.SelectRecord(1, false);
    calc.Run(doc, {a, b});
    ExpectImagesNear(doc.Grid.Planes[0], onlyA, 0);

    // Within a structure the image is the sum over the atoms.
    const LwLDoubleMatrix fe = Image({{Atom("Fe", 0, 0, 0), Atom("Fe", 2.0, 1.0, -1.5)}});
    const LwLDoubleMatrix o = Image({{Atom("Fe", 0, 0, 0), Atom("O", -1.1, 2.2, 0.4)}});
    sum = fe;
    sum += o;
    ExpectImagesNear(onlyA, sum, 1e-12);
}

TEST_F(HologramCalculationTest, ClusterSizeLimitDropsFartherAtoms)
{
    const LwStructure full = {Atom("Fe", 0, 0, 0), Atom("Fe", 0, 4.99, 0), Atom("O", 5.01, 0, 0)};
    const LwStructure near = {Atom("Fe", 0, 0, 0), Atom("Fe", 0, 4.99, 0)};
    auto doc = Document(1);
    doc.ClusterSizeLimit_m_ = 5e-10;
    calc.Run(doc, {full});
    ExpectImagesNear(doc.Grid.Planes[0], Image({near}), 0);
    EXPECT_GT(std::fabs(Image({full})(3, 4) - Image({near})(3, 4)), 1e-3);
}

TEST_F(HologramCalculationTest, FourfoldClusterGivesFourfoldHologram)
{
    calc.ElementMap["Fe"] = {"Fe", -1.0, 3.0, 470};
    calc.ElementMap["O"] = {"O", 0.0, 0.0, 600};
    LwStructure s = {Atom("Fe", 0, 0, 0)};
    const struct
    {
        const char* symbol;
        double x, y, z;
    } base[] = {{"Fe", 2.0, 0.5, 1.0}, {"O", 1.2, -0.3, -2.2}, {"Fe", 2.87, 0, 0}, {"O", 0, 0, 3.1}};
    for (const auto& atom : base) {
        double x = atom.x, y = atom.y;
        for (int turn = 0; turn < (atom.x == 0 && atom.y == 0 ? 1 : 4); ++turn) {
            s.push_back(Atom(atom.symbol, x, y, atom.z));
            const double t = x;
            x = -y;  // turn by 90 degrees about z
            y = t;
        }
    }
    const LwLDoubleMatrix image = Image({s}, 5);  // 72 columns of azimuth, 18 per quarter turn
    ASSERT_EQ(image.ColSize, 72);
    double largest = 0;
    for (int j = 0; j < image.RowSize; ++j)
        for (int i = 0; i < image.ColSize; ++i) {
            ASSERT_NEAR(image((i + 18) % 72, j), image(i, j), 1e-9) << "pixel " << i << "," << j;
            largest = std::max(largest, std::fabs(image(i, j) - image(0, j)));
        }
    EXPECT_GT(largest, 1.0);  // the image does vary along the azimuth
}

TEST_F(HologramCalculationTest, SameImageWithOneAndSeveralThreads)
{
    calc.ElementMap["Fe"] = {"Fe", -1.0, 3.0, 470};
    LwStructure s = {Atom("Fe", 0, 0, 0)};
    for (int n = 1; n < 40; ++n)
        s.push_back(Atom(n % 3 ? "Fe" : "O", 0.37 * n - 7, 0.53 * (n % 7) - 1.9, 0.29 * (n % 11) - 1.3));
    const int saved = omp_get_max_threads();
    omp_set_num_threads(1);
    const LwLDoubleMatrix one = Image({s}, 3);
    omp_set_num_threads(4);
    const LwLDoubleMatrix four = Image({s}, 3);
    omp_set_num_threads(7);
    const LwLDoubleMatrix seven = Image({s}, 3);
    omp_set_num_threads(saved);
    ExpectImagesNear(one, four, 0);
    ExpectImagesNear(one, seven, 0);
}

// The shapes the program computes, each at sizes on both sides of the point
// where the work is shared among threads: the scattering-pattern matrix's
// line of points (one pixel per column), a projection with pixels outside
// it, and a full cylinder. Every image must equal, pixel by pixel and to the
// last bit, the image computed on one thread, and agree with the sum of the
// single-atom terms written out from the physics.
TEST_F(HologramCalculationTest, SameImageAtAnyThreadCountOnEveryShape)
{
    calc.ElementMap["Fe"] = {"Fe", -1.0, 3.0, 470};
    calc.ElementMap["O"] = {"O", 0.05, 0.03, 600};
    const double uFe = DebyeU(300, 55, 470), uO = DebyeU(300, 15, 600);
    struct Case
    {
        const char* name;
        int atoms;  // emitter included
        std::function<std::unique_ptr<LwDocPattern>()> make;
    };
    auto cosZ = [](int points) {
        return [points] {
            auto doc = std::make_unique<LwDocPattern_CosZ>();
            doc->PointCount_ = points;
            return std::unique_ptr<LwDocPattern>(std::move(doc));
        };
    };
    auto azimuthal = [] {
        auto doc = std::make_unique<LwDocPattern_AzimuthalEquidistant>();
        doc->Resolution_deg_ = 3;
        return std::unique_ptr<LwDocPattern>(std::move(doc));
    };
    auto cylindrical = [] {
        auto doc = std::make_unique<LwDocPattern_EquidistantCylindrical>();
        doc->Resolution_deg_ = 4;
        return std::unique_ptr<LwDocPattern>(std::move(doc));
    };
    const Case cases[] = {
        {"line of points, one pair", 2, cosZ(1025)},
        {"line of points, many atoms", 400, cosZ(2049)},
        {"projection with pixels outside, few atoms", 3, azimuthal},
        {"projection with pixels outside, many atoms", 120, azimuthal},
        {"cylinder, many atoms", 90, cylindrical},
    };
    const int saved = omp_get_max_threads();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LwStructure s = {Atom("Fe", 0, 0, 0)};
        std::vector<std::array<double, 3>> positions;
        std::vector<bool> isFe;
        for (int n = 1; n < c.atoms; ++n) {
            // Spread over a ball of about 9 A radius, none at the origin.
            const double r = 1.5 + 7.5 * std::cbrt((n + 0.5) / c.atoms);
            const double z = 1 - 2 * std::fmod(0.618034 * n, 1.0);
            const double phi = 2.399963 * n;
            const std::array<double, 3> p = {r * std::sqrt(1 - z * z) * std::cos(phi),
                                             r * std::sqrt(1 - z * z) * std::sin(phi), r * z};
            isFe.push_back(n % 3 != 0);
            s.push_back(Atom(isFe.back() ? "Fe" : "O", p[0], p[1], p[2]));
            positions.push_back(
                {p[0] * Reference::Angstrom_m, p[1] * Reference::Angstrom_m, p[2] * Reference::Angstrom_m});
        }
        std::vector<LwLDoubleMatrix> images;
        for (int threads : {1, 2, 3, 8, 13}) {
            omp_set_num_threads(threads);
            std::unique_ptr<LwDocPattern> doc = c.make();
            doc->SetRecordSelection(1, true);
            doc->InitSphericalMap();
            calc.Run(*doc, {s});
            images.push_back(doc->Grid.Planes[0]);
            if (threads != 1)
                continue;
            // The reference, on one thread: every pixel's sum of the terms.
            const LwSphericalMapGrid& g = doc->Grid;
            int inside = 0;
            for (int j = 0; j < g.X.RowSize; ++j)
                for (int i = 0; i < g.X.ColSize; ++i) {
                    const double d[3] = {g.X(i, j), g.Y(i, j), g.Z(i, j)};
                    double expected = 0;
                    if (d[0] != 0 || d[1] != 0 || d[2] != 0) {
                        ++inside;
                        for (std::size_t a = 0; a < positions.size(); ++a)
                            expected +=
                                isFe[a]
                                    ? ReferenceTerm(d, positions[a].data(), kFe, -1.0, 3.0, 2 * uFe, false)
                                    : ReferenceTerm(d, positions[a].data(), kO, 0.05, 0.03, uO + uFe, false);
                    }
                    ASSERT_NEAR(g.Planes[0](i, j), expected, 1e-12 * c.atoms) << "pixel " << i << "," << j;
                }
            EXPECT_GT(inside, 500);
        }
        omp_set_num_threads(saved);
        for (std::size_t t = 1; t < images.size(); ++t)
            ExpectImagesNear(images[0], images[t], 0);
    }
    omp_set_num_threads(saved);
}

TEST_F(HologramCalculationTest, StopLeavesTheLaterColumnsZero)
{
    LwStructure s = {Atom("Fe", 0, 0, 0)};
    for (int n = 1; n < 1500; ++n)
        s.push_back(Atom("Fe", 0.011 * n - 8, 0.53 * (n % 7) - 1.9, 0.29 * (n % 11) - 1.3));
    const LwLDoubleMatrix full = Image({s}, 2);

    auto doc = Document(1, 2);
    doc.Grid.Planes[0].SetZero();
    std::thread worker([&] { calc.Run(doc, {s}); });
    // Ask for the stop once the first column shows in the running image.
    LwLDoubleMatrix seen;
    do {
        std::this_thread::yield();
        calc.CopyImage(doc, seen);
    } while (seen(0, 45) == 0);
    calc.IsTerminate = true;
    worker.join();

    const LwLDoubleMatrix& image = doc.Grid.Planes[0];
    int done = 0;
    while (done < image.ColSize && image(done, 45) != 0)
        ++done;
    ASSERT_LT(done, image.ColSize) << "the run ended before the stop was asked for";
    for (int i = 0; i < image.ColSize; ++i)
        for (int j = 0; j < image.RowSize; ++j)
            ASSERT_EQ(image(i, j), i < done ? full(i, j) : 0.0) << "pixel " << i << "," << j;
}

// While several threads fill the image, a reader sees whole columns in
// order: each column either equal to the finished one or still 0, and no
// finished column after one that is still 0.
TEST_F(HologramCalculationTest, RunningImageShowsWholeColumnsInOrder)
{
    LwStructure s = {Atom("Fe", 0, 0, 0)};
    for (int n = 1; n < 1500; ++n)
        s.push_back(Atom("Fe", 0.011 * n - 8, 0.53 * (n % 7) - 1.9, 0.29 * (n % 11) - 1.3));
    const int saved = omp_get_max_threads();
    omp_set_num_threads(4);
    const LwLDoubleMatrix full = Image({s}, 2);

    auto doc = Document(1, 2);
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        calc.Run(doc, {s});
        finished = true;
    });
    auto completeColumns = [&](const LwLDoubleMatrix& image) {
        int complete = 0;
        bool emptySeen = false;
        for (int i = 0; i < image.ColSize; ++i) {
            bool same = true, zero = true;
            for (int j = 0; j < image.RowSize; ++j) {
                same = same && image(i, j) == full(i, j);
                zero = zero && image(i, j) == 0;
            }
            EXPECT_TRUE(same || zero) << "column " << i << " is partly written";
            EXPECT_FALSE(same && !zero && emptySeen) << "column " << i << " is written after an empty one";
            emptySeen = emptySeen || (zero && !same);
            complete += same && !emptySeen;
        }
        return complete;
    };
    do {
        LwLDoubleMatrix seen;
        calc.CopyImage(doc, seen);
        // Stopped part way, so that the run ends with an unfinished image,
        // or at the first fault.
        if (completeColumns(seen) >= 20 || ::testing::Test::HasFailure())
            calc.IsTerminate = true;
    } while (!finished);
    worker.join();
    omp_set_num_threads(saved);
    EXPECT_GE(completeColumns(doc.Grid.Planes[0]), 20);
}

TEST_F(HologramCalculationTest, PixelsOutsideTheProjectionStayZero)
{
    LwDocPattern_AzimuthalEquidistant doc;
    doc.Resolution_deg_ = 10;
    doc.SetRecordSelection(1, true);
    doc.InitSphericalMap();
    calc.Run(doc, {{Atom("Fe", 0, 0, 0), Atom("Fe", 1.0, 1.0, 1.5)}});
    const LwLDoubleMatrix& image = doc.Grid.Planes[0];
    EXPECT_EQ(image(0, 0), 0.0);
    EXPECT_EQ(image(18, 18), 0.0);
    EXPECT_NE(image(9, 9), 0.0);
}

TEST_F(HologramCalculationTest, PrepareScatterersPicksTheTableEntry)
{
    const LwStructure s = {Atom("Fe", 0, 0, 0), Atom("Fe", 1, 0, 0, 2.7), Atom("Fe", 0, 2, 0, 3.0),
                           Atom("O", 0, 0, 3, -0.5)};
    auto doc = Document(1);
    ScattererList list;
    calc.PrepareScatterers(list, doc, {s});
    ASSERT_EQ(list.size(), 1u);
    ASSERT_EQ(list[0].size(), 4u);
    std::vector<const Scatterer*> byR;
    for (const auto& entry : list[0])
        byR.push_back(&entry.second);
    EXPECT_EQ(byR[0]->R, 0);
    EXPECT_TRUE(byR[0]->UnitPosition.IsEmpty());
    EXPECT_EQ(byR[1]->Valence, 2);  // 2.7 truncated
    EXPECT_EQ(byR[1]->TableIndex, 1);  // Fe2+
    EXPECT_EQ(byR[2]->Valence, 3);
    EXPECT_EQ(byR[2]->TableIndex, 0);  // no Fe3+: the neutral atom
    EXPECT_EQ(byR[3]->Valence, 0);
    EXPECT_EQ(byR[3]->TableIndex, 2);
    EXPECT_DOUBLE_EQ(byR[3]->R, 3e-10);
    EXPECT_EQ(byR[3]->UnitPosition[2], 1.0);
}

TEST_F(HologramCalculationTest, FailuresLeaveThePlaneUntouched)
{
    struct Case
    {
        const char* name;
        LwCluster cluster;
        int selected;
        std::vector<double> weights;
        const char* error;
    };
    const std::vector<double> shortWeights(20, 1.0);
    std::vector<double> zeroIron(104, 50.0);
    zeroIron[26] = 0;
    const LwStructure good = {Atom("Fe", 0, 0, 0), Atom("O", 1, 1, 1)};
    const Case cases[] = {
        {"structure beyond the selection", {good, good}, 1, {}, "Over range:: List_checked"},
        {"unknown element", {{Atom("Fe", 0, 0, 0), Atom("Xx", 1, 1, 1)}}, 1, {}, "Error in element name"},
        {"no table entry", {{Atom("Fe", 0, 0, 0), Atom("Cu", 1, 1, 1, 1.2)}}, 1, {}, "Not found:Cu 29 1"},
        {"no emitter",
         {{Atom("Fe", 0.1, 0, 0), Atom("O", 1, 1, 1)}},
         1,
         {},
         "Center atom (0,0,0) is not exist. Please check cluster file."},
        {"empty structure", {{}}, 1, {}, "Center atom (0,0,0) is not exist. Please check cluster file."},
        {"weight not listed", {good}, 1, shortWeights, "Atomic weight is not listed: Z=26"},
        {"weight 0", {good}, 1, zeroIron, "Atomic weight is 0: Z=26"},
        {"valency not a number",
         {{Atom("Fe", 0, 0, 0), Atom("O", 1, 1, 1, std::nan(""))}},
         1,
         {},
         "Illegal valency of O: nan"},
    };
    calc.ElementMap["Fe"] = {"Fe", 0, 0, 470};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        calc.ElementMap["Fe"] = {"Fe", 0, 0, 470};
        if (!c.weights.empty())
            calc.AtomicWeights = c.weights;
        auto doc = Document(c.selected);
        doc.Grid.Planes[0](2, 3) = 7;
        EXPECT_EQ(ErrorText([&] { calc.Run(doc, c.cluster); }), c.error);
        EXPECT_EQ(doc.Grid.Planes[0](2, 3), 7);
    }
}

TEST_F(HologramCalculationTest, EmitterIsNotNeededWhenItsVibrationIsNotUsed)
{
    calc.IsNotUseEmitterVibration = true;
    const LwLDoubleMatrix image = Image({{Atom("O", 1, 1, 1)}});
    EXPECT_NE(image(3, 3), 0.0);
}

TEST_F(HologramCalculationTest, UnbuiltGridIsRefused)
{
    LwDocPattern_EquidistantCylindrical doc;
    doc.SetRecordSelection(1, true);
    EXPECT_EQ(ErrorText([&] { calc.Run(doc, {{Atom("Fe", 0, 0, 0)}}); }), "Pattern grid is not built");
}

TEST(HologramHelpers, InnerProductOfVectors)
{
    LwLDoubleMatrix column(3), row(3, 1), square(2, 2), shortColumn(2), empty;
    for (int i = 0; i < 3; ++i) {
        column[i] = i + 1;
        row[i] = 2 * i - 1;
    }
    EXPECT_EQ(InnerProduct(column, row), 1 * -1 + 2 * 1 + 3 * 3);
    EXPECT_EQ(InnerProduct(empty, empty), 0);
    EXPECT_EQ(ErrorText([&] { InnerProduct(square, column); }), "This is not vector");
    EXPECT_EQ(ErrorText([&] { InnerProduct(column, square); }), "This is not vector");
    EXPECT_EQ(ErrorText([&] { InnerProduct(column, shortColumn); }), "Vector size is not same");
}

TEST(HologramHelpers, IsStructureCheckedReadsTheSelectionBits)
{
    LwDocPattern_EquidistantCylindrical doc;
    doc.SetRecordSelection(40, false);
    doc.SelectRecord(33, true);
    EXPECT_TRUE(IsStructureChecked(doc, 33));
    EXPECT_FALSE(IsStructureChecked(doc, 32));
    EXPECT_EQ(ErrorText([&] { IsStructureChecked(doc, 40); }), "Over range:: List_checked");
    EXPECT_EQ(ErrorText([&] { IsStructureChecked(doc, -1); }), "Over range:: List_checked");
}

// The Debye displacement of a light element from the weight table read as it
// is: an emitter and a scatterer of lithium (6.941 u, 344 K) at 300 K; the
// scatterer's U is its own plus the emitter's, U = 3 hbar^2 T / (M kB
// ThetaD^2) each, with CODATA 2018 constants written out here. The
// program's constants are older sets that differ by parts in 1e5; a weight
// cut to 6 would be 16 % off.
TEST(HologramHelpers, DebyeDisplacementUsesTheTableWeight)
{
    HologramCalculation calc;
    LoadAsfTable(calc.AsfTable,
                 "Z,ion,name,a1,b1,a2,b2,a3,b3,a4,b4,c\r"
                 "3,Li,lithium,1.1282,3.9546,0.7508,1.0524,0.6175,85.3905,0.4653,168.261,0.0377\r");
    HologramCalculation::LoadAtomicWeight(calc.AtomicWeights,
                                          "1 H hydrogen 1.00794\n2 He helium 4.002602\n3 Li lithium 6.941\n");
    calc.ElementMap["Li"] = {"Li", 0, 0, 344};
    calc.Temperature_K = 300;
    LwClusterAtom emitter, scatterer;
    emitter.Atom_ = scatterer.Atom_ = "Li";
    scatterer.Position_[2] = 2.5e-10;
    LwDocPattern_EquidistantCylindrical doc;
    doc.SetRecordSelection(1, true);
    ScattererList list;
    calc.PrepareScatterers(list, doc, LwCluster{{emitter, scatterer}});
    ASSERT_EQ(list.size(), 1u);
    ASSERT_EQ(list[0].size(), 2u);
    const Scatterer& li = std::prev(list[0].end())->second;
    namespace Si = Reference::Codata2018;
    const double u = 3 * Si::Hbar_Js * Si::Hbar_Js * 300 /
                     (6.941 * Si::AtomicMassUnit_kg * Si::Boltzmann_JperK * 344.0 * 344.0);
    EXPECT_NEAR(li.U / (2 * u), 1.0, 1e-4);
    EXPECT_EQ(list[0].begin()->second.U, 0.0);  // the emitter's own U went to the scatterer
}

TEST(HologramHelpers, LoadAtomicWeightKeepsTheTableValue)
{
    std::vector<double> weights{9, 9};
    HologramCalculation::LoadAtomicWeight(weights, "1 H hydrogen 1.00794\n2 He helium 4.002602\n"
                                                   "3 Li lithium 6.941\n4 Be beryllium 9.012182\n"
                                                   "5 B boron 10.811\n6 C carbon 12.011\n");
    EXPECT_EQ(weights, (std::vector<double>{0, 1.00794, 4.002602, 6.941, 9.012182, 10.811, 12.011}));
    EXPECT_EQ(ErrorText([&] { HologramCalculation::LoadAtomicWeight(weights, "1 H h 1.0\n3 Li l 6.9\n"); }),
              "Debye:LoadAtomicWeight File: order is not correct.");
    EXPECT_EQ(weights, (std::vector<double>{0, 1}));
}

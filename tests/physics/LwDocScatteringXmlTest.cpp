// The scattered-wave document: write and read back (coefficients bit for bit,
// other values to six digits), its layout, long record lists, and documents
// that are cut short or carry broken coefficient data.

#include "core/LwBarnFile.h"
#include "core/LwBarnXml.h"
#include "core/LwNotifyTerminate.h"
#include "physics/LwDocScattering.h"
#include "ErrorText.h"
#include "ReferenceConstants.h"
#include "ScatteringTestInputs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace ScatteringTest;

namespace {

// The document text of `doc` as written.
std::string WriteText(LwDocScattering& doc)
{
    LwBarnXml w("w");
    doc.LoadSave(w);
    std::string text;
    LwBarnXml::WriteRackText(*w.Root()->Children().front(),
                             [&](std::string_view piece) { text.append(piece); });
    return text;
}

// Reads `text` into `doc`, with the console lines of the reader captured.
bool ReadText(LwDocScattering& doc, const std::string& text)
{
    LwBarnXml r("r");
    r.SetDocumentText(text);
    r.AnalyzeTagStructure();
    testing::internal::CaptureStdout();
    bool result = false;
    try {
        result = doc.LoadSave(r);
    } catch (...) {
        testing::internal::GetCapturedStdout();
        throw;
    }
    testing::internal::GetCapturedStdout();
    return result;
}

bool SameBits(const LwLmComplexArray& a, const LwLmComplexArray& b)
{
    return a.GetL() == b.GetL() && std::memcmp(a.Data(), b.Data(), sizeof(LComplex) * a.Size()) == 0;
}

// A record of n sources with coefficients that exercise every bit pattern
// the binary form must carry (random mantissas, signed zeros, subnormal,
// huge and tiny values).
LwScatteringData RandomRecord(std::mt19937& random, int n, LwLong stIndex, LwLong ewIndex)
{
    std::uniform_real_distribution<double> uniform(-1, 1);
    LwScatteringData record;
    record.StIndex = stIndex;
    record.EWIndex = ewIndex;
    record.Ratio = 0.125 + stIndex;
    LwVectorFreeElectron& wave = record.NextListScatterer;
    wave.Sources().resize(n);
    for (int j = 0; j < n; ++j) {
        LwPartialWaveSource& s = wave.Sources()[j];
        s.SetPosition(uniform(random) * 5e-10, uniform(random) * 5e-10, uniform(random) * 5e-10);
        s.SetAtomicNumber(1 + j % 90);
        s.SetU(j * 1.25e-23);
        s.Outgoing().SetSizeZero(1 + j % 4);
        for (LwLong i = 0; i < s.Outgoing().Size(); ++i)
            s.Outgoing()[i] =
                LComplex(uniform(random) * std::pow(10.0, 40 * uniform(random)), uniform(random));
        record.ListAtomName.push_back(j % 2 ? "Cu<" + std::to_string(j) + ">&" : "O");
    }
    LwLmComplexArray& c = wave.Sources()[0].Outgoing();
    c.SetSizeZero(2);
    c[0] = LComplex(-0.0, std::numeric_limits<double>::denorm_min());
    c[1] = LComplex(std::numeric_limits<double>::max(), -std::numeric_limits<double>::min());
    wave.SetKineticEnergy(512.5);
    record.ListScatterer = wave;
    return record;
}

void ExpectSameRecord(const LwScatteringData& read, const LwScatteringData& written)
{
    EXPECT_EQ(read.StIndex, written.StIndex);
    EXPECT_EQ(read.EWIndex, written.EWIndex);
    EXPECT_EQ(read.Ratio, written.Ratio);
    EXPECT_EQ(read.ListAtomName, written.ListAtomName);
    for (const LwVectorFreeElectron* wave : {&read.ListScatterer, &read.NextListScatterer}) {
        const LwVectorFreeElectron& w = written.NextListScatterer;
        EXPECT_EQ(wave->GetKineticEnergy(), w.GetKineticEnergy());
        ASSERT_EQ(wave->Sources().size(), w.Sources().size());
        for (std::size_t j = 0; j < w.Sources().size(); ++j) {
            SCOPED_TRACE(j);
            const LwPartialWaveSource& a = wave->Sources()[j];
            const LwPartialWaveSource& b = w.Sources()[j];
            EXPECT_TRUE(SameBits(a.Outgoing(), b.Outgoing()));
            EXPECT_EQ(a.GetAtomicNumber(), b.GetAtomicNumber());
            // Six significant digits.
            EXPECT_NEAR(a.X(), b.X(), 5e-6 * std::abs(b.X()));
            EXPECT_NEAR(a.Y(), b.Y(), 5e-6 * std::abs(b.Y()));
            EXPECT_NEAR(a.Z(), b.Z(), 5e-6 * std::abs(b.Z()));
            EXPECT_NEAR(a.GetU(), b.GetU(), 5e-6 * b.GetU());
            EXPECT_EQ(a.GetKineticEnergy(), w.GetKineticEnergy());
            EXPECT_EQ(a.GetWaveNumber(), b.GetWaveNumber());
            EXPECT_FALSE(a.IsPlaneWave());
        }
    }
}
}  // namespace

// A calculated document saved by the calculation and read back from its
// file: the coefficients are bit-identical, both lists equal the written
// next list, and the header holds each loop index equal to its count.
TEST(LwDocScatteringXml, CalculatedDocumentReadsBackFromItsFile)
{
    const std::string file = testing::TempDir() + "scattering_roundtrip.xml_sf";
    LwDocScatteringPhaseShift phase;
    Entries(phase) = {PhaseShift("E", 300, {0.4, 0.3}), PhaseShift("A", 300, {0.9, 0.6, 0.1})};
    LwCluster cluster = {{Atom("E", "Cu", 0, 0, 0),
                          Atom("A", "Cu", 0, 1.3 * Reference::Angstrom_m, 2 * Reference::Angstrom_m),
                          Atom("A", "Cu", 2.1 * Reference::Angstrom_m, 0, -0.7 * Reference::Angstrom_m)}};
    LwDocScattering written;
    written.Version = LwDocScattering::kMultipleScattering;
    written.EPS = 0.002;
    written.OutputFileName_ = file;
    LwNotifyTerminateThreadCalculation never;
    testing::internal::CaptureStdout();
    written.Calculate(never, cluster, {Emitted(300, SingleCoefficient(2, 1, 0))}, phase);
    testing::internal::GetCapturedStdout();

    LwDocScattering read;
    read.OutputFileName_ = "kept";
    read.AtomOrderMode_ = 5;
    testing::internal::CaptureStdout();
    LwBarnFile in(file, "r");
    EXPECT_TRUE(read.LoadSave(in));
    const std::string lines = testing::internal::GetCapturedStdout();
    EXPECT_EQ(lines, "Start load/save list scatteirng data\nNextListScatterer\nScattringData 0 0\n");

    EXPECT_EQ(read.Version, 2);
    EXPECT_EQ(read.EPS, 0.002);
    EXPECT_EQ(read.MultiScattering, 1);
    EXPECT_EQ(read.StIndex, 1);
    EXPECT_EQ(read.EWIndex, 1);
    EXPECT_EQ(read.AtIndex, 3);
    EXPECT_EQ(read.MuIndex, 1);
    EXPECT_EQ(read.OutputFileName_, "kept");
    EXPECT_EQ(read.AtomOrderMode_, 5);
    ASSERT_EQ(read.ListScatteringData.size(), 1u);
    ExpectSameRecord(read.ListScatteringData[0], written.ListScatteringData[0]);
    // The scattered coefficients are really there.
    EXPECT_EQ(read.ListScatteringData[0].NextListScatterer.Sources()[2].Outgoing().GetL(), 3);
}

// Hand-made records with extreme coefficient values and escaped names; 300
// records, so the list grows past its first 256 places.
TEST(LwDocScatteringXml, ManyRecordsWithExtremeValuesReadBackExactly)
{
    std::mt19937 random(7);
    LwDocScattering written;
    for (int r = 0; r < 300; ++r)
        written.ListScatteringData.push_back(RandomRecord(random, 1 + r % 5, r / 3, r % 3));
    const std::string file = testing::TempDir() + "scattering_records.xml_sf";
    testing::internal::CaptureStdout();
    {
        LwBarnFile out(file, "w");
        written.LoadSave(out);
        out.Save();
    }
    LwDocScattering read;
    {
        LwBarnFile in(file, "r");
        EXPECT_TRUE(read.LoadSave(in));
    }
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(read.ListScatteringData.size(), 300u);
    for (int r = 0; r < 300; ++r) {
        SCOPED_TRACE(r);
        ExpectSameRecord(read.ListScatteringData[r], written.ListScatteringData[r]);
    }
}

// The written layout: racks in order, "ListScatterer" written, the
// plane-wave elements only in the first "i" of each wave rack.
TEST(LwDocScatteringXml, PlaneWaveElementsOnlyInTheFirstSource)
{
    const double k = Reference::ElectronWaveNumber_perm(300);
    LwScatteringData record;
    record.ListAtomName = {"E", "A"};
    LwVectorFreeElectron& wave = record.ListScatterer;
    wave.Sources().resize(2);
    wave.Sources()[1].SetPosition(0, 0, 2 * Reference::Angstrom_m);
    wave.SetKineticEnergy(300);
    LwLDoubleMatrix direction(3);
    direction[0] = 0;
    direction[1] = 2;
    direction[2] = 0;
    wave.Sources()[0].SetPlaneWave(direction, LComplex(1, 0));
    record.NextListScatterer = wave;
    LwDocScattering written;
    written.ListScatteringData.push_back(record);
    testing::internal::CaptureStdout();
    const std::string text = WriteText(written);
    testing::internal::GetCapturedStdout();

    auto count = [&](const std::string& what) {
        std::size_t n = 0;
        for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(text.rfind("<DREV_ScatteringData><data><Version>0</Version>\n<EPS>0.01</"
                         "EPS>\n<MultiScattering>1</MultiScattering>\n",
                         0),
              0u)
        << text.substr(0, 80);
    EXPECT_EQ(count("<ListScatterer>"), 1u);
    EXPECT_EQ(count("<NextListScatterer>"), 1u);
    EXPECT_EQ(count("<IsPlaneWave>true</IsPlaneWave>"), 2u);
    EXPECT_EQ(count("<IsPlaneWave>"), 2u);
    EXPECT_EQ(count("<PlaneWaveZ>"), 2u);
    EXPECT_EQ(count("<base64>"), 4u);

    LwDocScattering read;
    ASSERT_TRUE(ReadText(read, text));
    const LwPartialWaveSource& emitter = read.ListScatteringData[0].NextListScatterer.Sources()[0];
    ASSERT_TRUE(emitter.IsPlaneWave());
    EXPECT_NEAR(emitter.PlaneWaveVector()[1], k, 1e-6 * k);
    EXPECT_EQ(emitter.PlaneWaveVector()[0], 0.0);
    EXPECT_EQ(emitter.PlaneWaveVector()[2], 0.0);
    EXPECT_EQ(emitter.Outgoing()(0, 0), LComplex(1, 0));
    EXPECT_FALSE(read.ListScatteringData[0].NextListScatterer.Sources()[1].IsPlaneWave());
}

// Hand-written documents: defaults of missing elements, an empty record
// list, a plane wave without its z component, a missing root.
TEST(LwDocScatteringXml, ReadsSparseDocuments)
{
    {
        SCOPED_TRACE("empty list, default header");
        LwDocScattering read;
        read.ListScatteringData.resize(3);
        read.EPS = 0.5;
        ASSERT_TRUE(ReadText(read,
                             "<DREV_ScatteringData><data><ListScatteringData></ListScatteringData></data>"
                             "</DREV_ScatteringData>"));
        EXPECT_TRUE(read.ListScatteringData.empty());
        EXPECT_EQ(read.EPS, 1.0);
        EXPECT_EQ(read.MultiScattering, 1);
    }
    {
        SCOPED_TRACE("plane wave without PlaneWaveZ, source without coefficients");
        LwDocScattering read;
        ASSERT_TRUE(ReadText(read,
                             "<DREV_ScatteringData><data><ListScatteringData><i><NextListScatterer>"
                             "<Ek_eV>100</Ek_eV><atom_list><i><a>E</a><IsPlaneWave>true</IsPlaneWave>"
                             "<PlaneWaveX>2</PlaneWaveX></i><i><z>1e-10</z></i></atom_list>"
                             "</NextListScatterer></i></ListScatteringData></data></DREV_ScatteringData>"));
        ASSERT_EQ(read.ListScatteringData.size(), 1u);
        const LwScatteringData& record = read.ListScatteringData[0];
        EXPECT_EQ(record.ListAtomName, (std::vector<std::string>{"E", ""}));
        ASSERT_EQ(record.ListScatterer.Sources().size(), 2u);
        const LwPartialWaveSource& emitter = record.ListScatterer.Sources()[0];
        EXPECT_TRUE(emitter.IsPlaneWave());
        EXPECT_EQ(emitter.PlaneWaveVector()[0], 2.0);
        EXPECT_EQ(emitter.PlaneWaveVector()[1], 0.0);
        EXPECT_EQ(emitter.PlaneWaveVector()[2], 1.0);
        EXPECT_EQ(emitter.Outgoing().GetL(), 0);
        EXPECT_EQ(record.ListScatterer.Sources()[1].Z(), 1e-10);
        EXPECT_EQ(record.ListScatterer.GetKineticEnergy(), 100);
    }
    {
        SCOPED_TRACE("records already in the list lend nothing to the records read");
        LwDocScattering read;
        read.ListScatteringData.resize(2);
        read.ListScatteringData[0].PhaseShiftIndex.Create(2);
        read.ListScatteringData[0].NextListScatterer.SetMeanFreePath_m(1e-9);
        ASSERT_TRUE(ReadText(read,
                             "<DREV_ScatteringData><data><ListScatteringData><i><NextListScatterer>"
                             "<Ek_eV>100</Ek_eV><atom_list><i></i><i></i></atom_list></NextListScatterer>"
                             "</i></ListScatteringData></data></DREV_ScatteringData>"));
        ASSERT_EQ(read.ListScatteringData.size(), 1u);
        EXPECT_EQ(read.ListScatteringData[0].PhaseShiftIndex.VectorSize(), 0);
        EXPECT_EQ(read.ListScatteringData[0].ListScatterer.GetMeanFreePath_m(), 0.0);
        EXPECT_EQ(read.ListScatteringData[0].ListScatterer.Sources().size(), 2u);
    }
    {
        SCOPED_TRACE("no root rack");
        LwDocScattering read;
        read.Version = 2;
        read.ListScatteringData.resize(2);
        EXPECT_FALSE(ReadText(read, "<Other><data></data></Other>"));
        EXPECT_EQ(read.Version, 2);
        EXPECT_EQ(read.ListScatteringData.size(), 2u);
    }
}

// A document cut short, or with coefficient data that cannot give the
// stored coefficients, is an error, never a wave with fewer sources or with
// zero amplitudes.
TEST(LwDocScatteringXml, DamagedDocumentsAreErrors)
{
    std::mt19937 random(11);
    LwDocScattering written;
    written.ListScatteringData.push_back(RandomRecord(random, 4, 0, 0));
    written.ListScatteringData.push_back(RandomRecord(random, 3, 1, 0));
    testing::internal::CaptureStdout();
    const std::string text = WriteText(written);
    testing::internal::GetCapturedStdout();

    // The first coefficient block that is read: source 0 of the next list
    // of record 0 (the current list is written, never read).
    const std::size_t base64 = text.find("<base64>", text.find("<NextListScatterer>")) + 8;
    const std::size_t base64End = text.find("</base64>", base64);
    const std::string block = text.substr(base64, base64End - base64);
    auto replacedBlock = [&](const std::string& other) {
        return text.substr(0, base64) + other + text.substr(base64End);
    };
    const std::string noData = [&] {
        const std::size_t a = base64 - 8, b = base64End + 9;
        return text.substr(0, a) + text.substr(b);
    }();
    // The same source declaring 12000 l values (2.3 GB) for its short block.
    const std::string hugeSize = [&] {
        const std::size_t a = text.rfind("<Size_l>", base64) + 8, b = text.find("</Size_l>", a);
        return text.substr(0, a) + "12000" + text.substr(b);
    }();
    struct Case
    {
        const char* what;
        std::string text;
        std::string message;
    };
    const std::string incomplete = "Scattered wave document: the coefficients of source 0 are incomplete";
    const Case cases[] = {
        {"cut after the first record", text.substr(0, text.find("<i><StIndex>1</StIndex>")),
         "Scattered wave document is incomplete: \"DREV_ScatteringData\" is not closed"},
        {"cut inside a source", text.substr(0, text.size() / 2),
         "Scattered wave document is incomplete: \"DREV_ScatteringData\" is not closed"},
        {"block one group short", replacedBlock(block.substr(0, block.size() - 4)),
         "Scattered wave document: the coefficients of source 0 cannot be read: Size Error"},
        {"block of another length", replacedBlock("00000003AAAA"), incomplete},
        {"block not base64", replacedBlock(block.substr(0, block.size() - 1)),
         "Scattered wave document: the coefficients of source 0 cannot be read: Illigal Data"},
        {"no coefficient data", noData, incomplete},
        {"size beyond any wave", hugeSize,
         "Scattered wave document: the coefficients of source 0 cannot be read: Coefficient array \"c\": "
         "Size_l "
         "12000 is not a number of l values from 0 to 1000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LwDocScattering read;
        EXPECT_EQ(ErrorText([&] { ReadText(read, c.text); }), c.message);
    }
    // The intact text reads.
    LwDocScattering read;
    EXPECT_TRUE(ReadText(read, text));
    EXPECT_EQ(read.ListScatteringData.size(), 2u);
}

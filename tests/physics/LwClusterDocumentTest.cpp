#include "core/LwBarnFile.h"
#include "core/LwBarnXml.h"
#include "physics/LwClusterDocument.h"
#include "BarnTestText.h"
#include "ErrorText.h"
#include "ReferenceConstants.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using barn_test::Parse;
using barn_test::WrittenText;

namespace {

// Coordinates and U are stored with six significant digits in Angstrom.
constexpr double kMetreTolerance = 1e-24;
constexpr double kSquareMetreTolerance = 1e-36;

std::string AtomRack(const std::string& name, const std::string& values)
{
    return "<i><name>" + name + "</name>\n<atom>Cu</atom>\n" + values + "</i>\n";
}

std::string Document(const std::vector<std::vector<std::string>>& structures)
{
    std::string text = "<lw_crystal_structure_data><data><list_structure>";
    for (const auto& atoms : structures) {
        text += "<structure><atoms>";
        for (const std::string& atom : atoms)
            text += atom;
        text += "</atoms>\n</structure>\n";
    }
    return text + "</list_structure>\n</data>\n</lw_crystal_structure_data>\n";
}

std::string At(const std::string& name, const char* x, const char* y, const char* z)
{
    return AtomRack(name, std::string("<x>") + x + "</x>\n<y>" + y + "</y>\n<z>" + z + "</z>\n");
}

LwCluster Read(const std::string& text, bool check)
{
    LwCluster cluster;
    auto doc = Parse(text);
    EXPECT_TRUE(LoadSaveCrystalStructureData(cluster, *doc, check));
    return cluster;
}

std::string Written(LwCluster cluster)
{
    LwBarnXml doc("w");
    EXPECT_TRUE(LoadSaveCrystalStructureData(cluster, doc, true));
    return WrittenText(doc);
}

LwClusterAtom AtomAt(const std::string& name, LDouble x, LDouble y, LDouble z)
{
    LwClusterAtom atom;
    atom.Name_ = name;
    atom.Atom_ = "Cu";
    LwLDoubleMatrix v(3);
    v[0] = x;
    v[1] = y;
    v[2] = z;
    atom.SetPositionAngstrom(v);
    return atom;
}

}  // namespace

TEST(LwClusterDocument, ReadingOrdersEachStructureByDistance)
{
    const LwCluster cluster =
        Read(Document({{At("far", "1", "0", "0"), At("emitter", "0", "0", "0")}}), false);
    ASSERT_EQ(cluster.size(), 1u);
    ASSERT_EQ(cluster[0].size(), 2u);
    EXPECT_EQ(cluster[0][0].Name_, "emitter");
    EXPECT_EQ(cluster[0][1].Name_, "far");
    EXPECT_EQ(cluster[0][1].Atom_, "Cu");
    EXPECT_NEAR(static_cast<double>(cluster[0][1].Position_[0]), 1e-10, kMetreTolerance);
    EXPECT_TRUE(cluster[0][1].U_.IsEmpty());
}

TEST(LwClusterDocument, CheckFlagValidatesTheCluster)
{
    EXPECT_NO_THROW(Read(Document({{At("a", "1", "0", "0"), At("b", "0", "0", "0")}}), true));
    const struct
    {
        const char* reason;
        std::string text;
        const char* message;
    } cases[] = {
        {"atoms 0.3 A apart", Document({{At("a", "0.3", "0", "0"), At("b", "0", "0", "0")}}),
         "Atomic distance should be larger thatn 0.5A 0.vs.1/CLUSER:0"},
        {"emitter off the origin", Document({{At("a", "1", "0", "0"), At("b", "0", "0", "0.3")}}),
         "Emitter shoud be located at origin (0,0,0)/CLUSER:0"},
        {"third structure without atoms", Document({{At("a", "0", "0", "0")}, {At("a", "0", "0", "0")}, {}}),
         "Structure has no atom/CLUSER:2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        LwCluster cluster;
        auto doc = Parse(c.text);
        EXPECT_EQ(ErrorText([&] { LoadSaveCrystalStructureData(cluster, *doc, true); }), c.message);
        // Every structure was read (and ordered) before the check.
        EXPECT_FALSE(cluster.empty());
        // Without the flag the same document reads without complaint.
        EXPECT_NO_THROW(Read(c.text, false));
    }
}

TEST(LwClusterDocument, IsotropicU)
{
    const LwCluster cluster =
        Read(Document({{AtomRack("a", "<MSD_iso><U_iso>0.005</U_iso>\n</MSD_iso>\n")}}), false);
    const LwLDoubleMatrix& u = cluster[0][0].U_;
    ASSERT_EQ(u.ColSize, 1);
    ASSERT_EQ(u.RowSize, 1);
    EXPECT_NEAR(static_cast<double>(u(0, 0)), 5e-23, kSquareMetreTolerance);
    EXPECT_NE(Written(cluster).find("<MSD_iso><U_iso>0.005</U_iso>\n</MSD_iso>\n"), std::string::npos);
}

TEST(LwClusterDocument, AnisotropicUIsMirrored)
{
    const std::string aniso = "<MSD_aniso><aniso_U_11>0.01</aniso_U_11>\n<aniso_U_12>0.002</aniso_U_12>\n"
                              "<aniso_U_13>0.003</aniso_U_13>\n<aniso_U_22>0.02</aniso_U_22>\n"
                              "<aniso_U_23>0.004</aniso_U_23>\n<aniso_U_33>0.03</aniso_U_33>\n</MSD_aniso>\n";
    const double expected[3][3] = {{0.01, 0.002, 0.003}, {0.002, 0.02, 0.004}, {0.003, 0.004, 0.03}};
    for (const std::string& extra :
         {std::string(), std::string("<MSD_iso><U_iso>0.5</U_iso>\n</MSD_iso>\n")}) {
        SCOPED_TRACE(extra.empty() ? "aniso only" : "iso and aniso: aniso wins");
        const LwCluster cluster = Read(Document({{AtomRack("a", extra + aniso)}}), false);
        const LwLDoubleMatrix& u = cluster[0][0].U_;
        ASSERT_EQ(u.ColSize, 3);
        ASSERT_EQ(u.RowSize, 3);
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < 3; ++b)
                EXPECT_NEAR(static_cast<double>(u(a, b)), expected[a][b] * Reference::SquareAngstrom_m2,
                            kSquareMetreTolerance)
                    << a << "," << b;
        const std::string written = Written(cluster);
        EXPECT_NE(written.find(aniso), std::string::npos) << written;
        EXPECT_EQ(written.find("MSD_iso"), std::string::npos);
    }
}

TEST(LwClusterDocument, MissingValuesTakeTheDefaultsOfANewAtom)
{
    const LwCluster cluster = Read(Document({{"<i><y>2</y>\n</i>\n"}}), false);
    const LwClusterAtom& atom = cluster[0][0];
    EXPECT_EQ(atom.Position_[0], 0);
    EXPECT_NEAR(static_cast<double>(atom.Position_[1]), 2e-10, kMetreTolerance);
    EXPECT_EQ(atom.Position_[2], 0);
    EXPECT_EQ(atom.Name_, "");
    EXPECT_EQ(atom.Atom_, "");
    EXPECT_EQ(atom.Valency_, 0.0);
    EXPECT_TRUE(atom.U_.IsEmpty());
}

TEST(LwClusterDocument, WritesTheAtomLayout)
{
    LwClusterAtom atom = AtomAt("Cu<1>", 1.5, 0, -2.55);
    atom.Valency_ = 2;
    EXPECT_EQ(Written({{atom}}),
              "<lw_crystal_structure_data><data><list_structure><structure><atoms>"
              "<i><name>Cu&lt;1&gt;</name>\n<atom>Cu</atom>\n<valency>2</valency>\n"
              "<x>1.5</x>\n<y>0</y>\n<z>-2.55</z>\n</i>\n"
              "</atoms>\n</structure>\n</list_structure>\n</data>\n</lw_crystal_structure_data>\n");
}

TEST(LwClusterDocument, ManyStructuresRoundTripThroughAFile)
{
    LwCluster cluster;
    for (int s = 0; s < 300; ++s)
        cluster.push_back({AtomAt("e", 0, 0, 0), AtomAt("s" + std::to_string(s), 1 + 0.01 * s, 0.5, -2)});
    LwLDoubleMatrix u(1, 1);
    u(0, 0) = 0.0075;
    cluster[299][1].SetUAngstrom2(u);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string name = dir.filePath("cluster.xml_cl").toStdString();
    {
        LwBarnFile out(name, "w");
        EXPECT_TRUE(LoadSaveCrystalStructureData(cluster, out, true));
        out.Save();
    }
    LwCluster back;
    LwBarnFile in(name, "r");
    EXPECT_TRUE(LoadSaveCrystalStructureData(back, in, true));
    ASSERT_EQ(back.size(), 300u);
    for (int s = 0; s < 300; ++s) {
        ASSERT_EQ(back[s].size(), 2u);
        EXPECT_EQ(back[s][1].Name_, "s" + std::to_string(s));
        EXPECT_NEAR(static_cast<double>(back[s][1].Position_[0]), (1 + 0.01 * s) * Reference::Angstrom_m,
                    kMetreTolerance);
    }
    EXPECT_NEAR(static_cast<double>(back[299][1].U_(0, 0)), 0.0075e-20, kSquareMetreTolerance);
}

TEST(LwClusterDocument, MissingRacksAreNotErrors)
{
    LwCluster cluster = {{AtomAt("kept", 0, 0, 0)}};
    {
        auto doc = Parse("<other></other>\n");
        EXPECT_FALSE(LoadSaveCrystalStructureData(cluster, *doc, true));
    }
    {
        auto doc = Parse("<lw_crystal_structure_data></lw_crystal_structure_data>\n");
        EXPECT_TRUE(LoadSaveCrystalStructureData(cluster, *doc, false));
    }
    ASSERT_EQ(cluster.size(), 1u);
    EXPECT_EQ(cluster[0][0].Name_, "kept");
    EXPECT_TRUE(Read(Document({}), true).empty());
}

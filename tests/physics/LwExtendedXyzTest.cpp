#include "core/LwError.h"
#include "core/LwFileQt.h"
#include "physics/LwExtendedXyz.h"
#include "ErrorText.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const std::string kProperties = "Properties=\"species:S:1:pos:R:3:Uiso:R:1\"";

// Lengths read from text are scaled from Angstrom to metres once.
constexpr double kMetreTolerance = 1e-24;
constexpr double kSquareMetreTolerance = 1e-36;

// A compact picture of a cluster: per structure the species and the
// coordinates in Angstrom, "|" between structures, "U" for an atom with U.
std::string Describe(const LwCluster& cluster)
{
    std::string text;
    for (std::size_t s = 0; s < cluster.size(); ++s) {
        if (s > 0)
            text += "|";
        for (const LwClusterAtom& atom : cluster[s]) {
            const LwLDoubleMatrix p = atom.GetPositionAngstrom();
            char buffer[96];
            std::snprintf(buffer, sizeof buffer, "%s(%g,%g,%g)%s ", atom.Name_.c_str(),
                          static_cast<double>(p[0]), static_cast<double>(p[1]), static_cast<double>(p[2]),
                          atom.U_.IsEmpty() ? "" : "U");
            text += buffer;
            EXPECT_EQ(atom.Name_, atom.Atom_);
        }
    }
    return text;
}

}  // namespace

TEST(LwExtendedXyz, CopperDimer)
{
    LwCluster cluster;
    LoadExtendedXyzText(cluster, "2\nCu dimer\nCu 0 0 0\nCu 0 0 2.55\n", false);
    ASSERT_EQ(cluster.size(), 1u);
    ASSERT_EQ(cluster[0].size(), 2u);
    const LwClusterAtom& second = cluster[0][1];
    EXPECT_EQ(second.Name_, "Cu");
    EXPECT_EQ(second.Atom_, "Cu");
    EXPECT_NEAR(static_cast<double>(second.Position_[2]), 2.55e-10, kMetreTolerance);
    EXPECT_EQ(second.Valency_, 0.0);
    EXPECT_TRUE(cluster[0][0].U_.IsEmpty());
    EXPECT_TRUE(second.U_.IsEmpty());
}

TEST(LwExtendedXyz, UisoColumnNeedsThePropertiesTitle)
{
    LwCluster cluster;
    const std::string atoms = "Cu 0 0 0 0.01\nCu 0 0 2.55 0.01\n";
    LoadExtendedXyzText(cluster, "2\nLattice=\"\" " + kProperties + " pbc=\"F F F\"\n" + atoms, false);
    ASSERT_EQ(cluster.size(), 1u);
    for (const LwClusterAtom& atom : cluster[0]) {
        ASSERT_EQ(atom.U_.ColSize, 1);
        ASSERT_EQ(atom.U_.RowSize, 1);
        EXPECT_NEAR(static_cast<double>(atom.U_(0, 0)), 1e-22, kSquareMetreTolerance);
    }

    const std::string message =
        ErrorText([&] { LoadExtendedXyzText(cluster, "2\nCu dimer\n" + atoms, false); });
    EXPECT_EQ(message.rfind("title should include :" + kProperties + "\n", 0), 0u) << message;
}

TEST(LwExtendedXyz, TextCases)
{
    const std::string p = kProperties;
    const struct
    {
        const char* reason;
        std::string text;
        std::string expected;  // Describe() of the cluster, or the error message
        bool fails;
    } cases[] = {
        {"two frames", "1\na\nCu 0 0 0\n2\nb\nO 1 0 0\nO 0 1 0\n", "Cu(0,0,0) |O(1,0,0) O(0,1,0) ", false},
        {"commas and tabs", "2\nt\nCu,0,0,1\nFe\t1\t\t2 ,3\n", "Cu(0,0,1) Fe(1,2,3) ", false},
        {"CR LF and lone CR", "1\r\nt\r\nCu 0 0 1\r1\rt\rFe 0 0 2", "Cu(0,0,1) |Fe(0,0,2) ", false},
        {"blank lines between frames and atoms", "\n\n1\nt\n\nCu 0 0 1\n\n\n1\nt\nFe 0 0 2\n\n",
         "Cu(0,0,1) |Fe(0,0,2) ", false},
        {"empty title line: the first atom line becomes the title", "2\n\nCu 0 0 1\nFe 0 0 2\n", "Fe(0,0,2) ",
         false},
        {"short frame keeps the atoms read", "3\nt\nCu 0 0 0\nCu 0 0 1\n", "Cu(0,0,0) Cu(0,0,1) ", false},
        {"count 0 ends the reading", "1\nt\nCu 0 0 0\n0\nt\n1\nt\nFe 0 0 0\n", "Cu(0,0,0) ", false},
        {"count that is no number ends the reading", "1\nt\nCu 0 0 0\nx\nt\n1\nt\nFe 0 0 0\n", "Cu(0,0,0) ",
         false},
        {"negative count gives an empty structure", "-2\nt\n1\nt\nFe 0 0 0\n", "|Fe(0,0,0) ", false},
        {"count line with blanks and trailing text", "  2 atoms\nt\nCu 0 0 0\nCu 0 0 1\n",
         "Cu(0,0,0) Cu(0,0,1) ", false},
        {"count line without title", "1\n", "", false},
        {"empty text", "", "", false},
        {"numbers with exponents", "1\nt\nCu 1e-1 -2.5E0 +3\n", "Cu(0.1,-2.5,3) ", false},
        {"mixed four- and five-field lines under Properties", "2\n" + p + "\nCu 0 0 0\nO 0 0 2 0.02\n",
         "Cu(0,0,0) O(0,0,2)U ", false},
        {"Properties text in other case is not the announcement",
         "1\nproperties=\"species:S:1:pos:R:3:Uiso:R:1\"\nCu 0 0 0 0.01\n", "title should include :" + p,
         true},
        {"three fields", "1\nt\nCu 0 0\n", "File is not XYZ structure", true},
        {"six fields", "1\n" + p + "\nCu 0 0 0 0.01 7\n", "File is not XYZ structure", true},
        {"one field", "1\nt\nCu\n", "File is not XYZ structure", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        LwCluster cluster;
        if (c.fails) {
            const std::string message = ErrorText([&] { LoadExtendedXyzText(cluster, c.text, false); });
            EXPECT_EQ(message.substr(0, c.expected.size()), c.expected);
        } else {
            LoadExtendedXyzText(cluster, c.text, false);
            EXPECT_EQ(Describe(cluster), c.expected);
        }
    }
}

TEST(LwExtendedXyz, ReadErrorKeepsTheCompleteFramesBefore)
{
    LwCluster cluster = {LwStructure(3)};  // replaced
    EXPECT_EQ(
        ErrorText([&] { LoadExtendedXyzText(cluster, "1\na\nCu 0 0 0\n2\nb\nO 0 0 0\nO 0 0\n", false); }),
        "File is not XYZ structure");
    EXPECT_EQ(Describe(cluster), "Cu(0,0,0) ");
}

TEST(LwExtendedXyz, CheckedReadReportsBadStructures)
{
    const struct
    {
        const char* reason;
        const char* text;
        const char* message;
    } cases[] = {
        {"emitter off the origin", "1\nt\nCu 0 0 0\n2\nt\nCu 0 0 1\nCu 0 0 3\n",
         "Emitter shoud be located at origin (0,0,0)/CLUSER:1"},
        {"overlapping atoms", "3\nt\nCu 0 0 2\nCu 0 0 0\nO 0 0.3 2\n",
         "Atomic distance should be larger thatn 0.5A 1.vs.2/CLUSER:0"},
        {"empty structure from a negative count", "1\nt\nCu 0 0 0\n-1\nt\n",
         "Structure has no atom/CLUSER:1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        LwCluster cluster;
        EXPECT_EQ(ErrorText([&] { LoadExtendedXyzText(cluster, c.text, true); }), c.message);
        // Unchecked, the same text reads without complaint.
        EXPECT_NO_THROW(LoadExtendedXyzText(cluster, c.text, false));
    }

    LwCluster cluster;
    LoadExtendedXyzText(cluster, "2\nt\nCu 0 0 2.55\nCu 0 0 0\n", true);
    // The check orders the structure by distance: the emitter first.
    EXPECT_EQ(Describe(cluster), "Cu(0,0,0) Cu(0,0,2.55) ");
}

TEST(LwExtendedXyz, SplitNonEmptyLinesAndPopFrontLine)
{
    std::deque<std::string> lines{"stale"};
    SplitNonEmptyLines(lines, "\r\na b\r\r\n\nc\rd \n");
    EXPECT_EQ(lines, (std::deque<std::string>{"a b", "c", "d "}));
    std::string line = "x";
    EXPECT_TRUE(PopFrontLine(line, lines));
    EXPECT_EQ(line, "a b");
    EXPECT_EQ(lines.size(), 2u);
    lines.clear();
    EXPECT_FALSE(PopFrontLine(line, lines));
}

TEST(LwExtendedXyz, ReadsAFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString name = dir.filePath("dimer.xyz");
    {
        QFile out(name);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("2\r\n" + QByteArray::fromStdString(kProperties) +
                  "\r\nCu 0 0 2.55 0.01\r\nCu 0 0 0 0.01\r\n");
    }
    LwCluster cluster = {LwStructure(5), LwStructure(1)};  // replaced
    LwFileQt file(name, "r");
    LoadExtendedXyz(cluster, file, true);
    // Checked, so ordered by distance.
    EXPECT_EQ(Describe(cluster), "Cu(0,0,0)U Cu(0,0,2.55)U ");
}

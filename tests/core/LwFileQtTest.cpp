#include "core/LwError.h"
#include "core/LwFileQt.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

class LwFileQtTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    QString Path(const char* name) const { return dir_.filePath(name); }

    // Files are made and inspected with the standard library, independently
    // of the class under test.
    QString Make(const char* name, const std::string& bytes) const
    {
        const QString path = Path(name);
        std::ofstream out(path.toStdString(), std::ios::binary);
        out << bytes;
        return path;
    }

    static std::string Bytes(const QString& path)
    {
        std::ifstream in(path.toStdString(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    static std::string OpenError(const QString& path, const std::string& mode)
    {
        try {
            LwFileQt file(path, mode);
        } catch (const LwError& e) {
            return e.Message();
        }
        return "opened";
    }

    QTemporaryDir dir_;
};

}  // namespace

TEST_F(LwFileQtTest, ReadsLinesWithEitherLineEnd)
{
    const QString path = Make("abc.txt", "a\nb\r\nc");
    LwFileQt file(path, "r");
    std::string line;
    for (const char* expected : {"a", "b", "c"}) {
        EXPECT_FALSE(file.AtEnd());
        file.ReadLine(line);
        EXPECT_EQ(line, expected);
    }
    EXPECT_TRUE(file.AtEnd());
    file.ReadLine(line);
    EXPECT_EQ(line, "");
    file.ReadAll(line);
    EXPECT_EQ(line, "");
}

TEST_F(LwFileQtTest, ReadAllLinesAppends)
{
    const struct
    {
        const char* bytes;
        Lines lines;
        const char* why;
    } rows[] = {
        {"a\nb\r\nc", {"a", "b", "c"}, "last line without line end"},
        {"a\nb\n", {"a", "b"}, "a final LF adds no empty line"},
        {"a\n\nb\n", {"a", "", "b"}, "empty lines inside are kept"},
        {"x\ry\n", {"x\ry"}, "a lone CR stays in the line"},
        {"", {}, "empty file"},
        {"\n", {""}, "one empty line"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        LwFileQt file(Make("lines.txt", r.bytes), "r");
        Lines lines = {"kept"};
        file.ReadAllLines(lines);
        Lines expected = {"kept"};
        expected.insert(expected.end(), r.lines.begin(), r.lines.end());
        EXPECT_EQ(lines, expected);
    }
}

TEST_F(LwFileQtTest, ReadAllKeepsTheBytesAsTheyStand)
{
    const std::string bytes = std::string("a\nb\r\nc\0d\xff", 10);
    LwFileQt file(Make("all.txt", bytes), "r");
    std::string text;
    file.ReadAll(text);
    EXPECT_EQ(text, bytes);
    EXPECT_TRUE(file.AtEnd());
}

TEST_F(LwFileQtTest, WritesLinesWithLineFeeds)
{
    const QString path = Path("out.txt");
    {
        LwFileQt file(path, "w");
        file.WriteLines({"x", "y"});
        file.WriteLines({});
        file.Write("z");
    }
    EXPECT_EQ(Bytes(path), "x\ny\nz");
}

TEST_F(LwFileQtTest, NonAsciiTextRoundTripsAsUtf8Bytes)
{
    // "Ångström, Σ, 日本" in UTF-8, an invalid UTF-8 byte and a NUL: the file
    // holds exactly these bytes and reads them back unchanged.
    const std::string line =
        std::string("\xc3\x85ngstr\xc3\xb6m, \xce\xa3, \xe6\x97\xa5\xe6\x9c\xac \xfe\0!", 26);
    const QString path = Path("utf8.txt");
    {
        LwFileQt file(path, "w");
        file.WriteLines({line, "second"});
    }
    EXPECT_EQ(Bytes(path), line + "\nsecond\n");
    LwFileQt file(path, "r");
    std::string read;
    file.ReadLine(read);
    EXPECT_EQ(read, line);
}

TEST_F(LwFileQtTest, WriteModeTruncatesAndCreates)
{
    const QString old = Make("old.txt", "previous content\n");
    {
        LwFileQt file(old, "w");
    }
    EXPECT_EQ(Bytes(old), "");
    const QString fresh = Path("fresh.txt");
    {
        LwFileQt file(fresh, "w");
    }
    EXPECT_TRUE(QFile::exists(fresh));
    EXPECT_EQ(Bytes(fresh), "");
}

TEST_F(LwFileQtTest, OpeningFailures)
{
    const QString missing = Path("missing.txt");
    EXPECT_EQ(OpenError(missing, "r"), "FILE CANNOT OPEN:" + missing.toStdString());
    const QString noDir = Path("no/such/dir.txt");
    EXPECT_EQ(OpenError(noDir, "w"), "FILE CANNOT OPEN:" + noDir.toStdString());
    EXPECT_EQ(OpenError(dir_.path(), "r"), "FILE CANNOT OPEN:" + dir_.path().toStdString());

    for (const char* mode : {"W", "R", "rw", "wb", "", "r "}) {
        SCOPED_TRACE(mode);
        const QString path = Path("mode.txt");
        EXPECT_EQ(OpenError(path, mode), "LwFileQt::Undefined mode");
        EXPECT_FALSE(QFile::exists(path));  // nothing opened or created
    }
}

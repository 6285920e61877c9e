#include "core/TextUtilities.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>
#include <locale>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

std::string PrintfG(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

}  // namespace

TEST(NumberToText, GeneralNotationExamples)
{
    const struct
    {
        double value;
        const char* text;
    } rows[] = {
        {0.5, "0.5"},
        {2.0, "2"},
        {100000, "100000"},
        {1234567, "1.23457e+06"},
        {3.14159265, "3.14159"},
        {0.0001, "0.0001"},
        {0.00001, "1e-05"},
        {1e-20, "1e-20"},
        {1234.5678, "1234.57"},
        {2.5e7, "2.5e+07"},
        {-0.5, "-0.5"},
        {0.0, "0"},
        {999999.5, "1e+06"},  // rounding moves the exponent past 5
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(DoubleToString(r.value), r.text);
        EXPECT_EQ(LDoubleToString(static_cast<LDouble>(r.value)), r.text);
    }
    EXPECT_EQ(FloatToString(0.1f), "0.1");
    EXPECT_EQ(IntToString(-42), "-42");
    EXPECT_EQ(LongToString(INT32_MIN), "-2147483648");
}

TEST(NumberToText, AgreesWithPrintfGOnRandomValues)
{
    // C's "%g" is an independent implementation of the same six-digit rule.
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> mant(-10.0, 10.0);
    std::uniform_int_distribution<int> expo(-30, 30);
    for (int i = 0; i < 2000; ++i) {
        const double v = mant(rng) * std::pow(10.0, expo(rng));
        ASSERT_EQ(DoubleToString(v), PrintfG(v)) << v;
    }
}

TEST(NumberToText, AgreesWithAClassicStream)
{
    // What a stream in the classic locale writes with its default settings,
    // for the widths the documents store, the special values included.
    const auto stream = [](auto v) {
        std::ostringstream os;
        os.imbue(std::locale::classic());
        os << v;
        return os.str();
    };
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> mant(-10.0, 10.0);
    std::uniform_int_distribution<int> expo(-40, 40);
    std::vector<double> values = {0.0,
                                  -0.0,
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN(),
                                  DBL_MAX,
                                  DBL_MIN,
                                  std::numeric_limits<double>::denorm_min()};
    for (int i = 0; i < 1000; ++i)
        values.push_back(mant(rng) * std::pow(10.0, expo(rng)));
    for (double v : values) {
        ASSERT_EQ(DoubleToString(v), stream(v)) << v;
        ASSERT_EQ(LDoubleToString(static_cast<LDouble>(v)), stream(static_cast<LDouble>(v))) << v;
        const float f = static_cast<float>(v);
        ASSERT_EQ(FloatToString(f), stream(f)) << f;
    }
    for (LwLong v : {LwLong(0), LwLong(-1), LwLong(INT32_MAX), LwLong(INT32_MIN)})
        EXPECT_EQ(LongToString(v), stream(v));
}

TEST(NumberToText, ZeroFill)
{
    EXPECT_EQ(IntToStringZeroFill(7, 3), "007");
    EXPECT_EQ(IntToStringZeroFill(1234, 3), "1234");
    EXPECT_EQ(IntToStringZeroFill(-5, 4), "00-5");
    EXPECT_EQ(IntToStringZeroFill(12, 0), "12");
}

TEST(TextToNumber, LongestNumericPrefix)
{
    const struct
    {
        const char* text;
        double d;
        int i;
    } rows[] = {
        {"", 0, 0},
        {"abc", 0, 0},
        {"-", 0, 0},
        {"12abc", 12, 12},
        {"3.5 kg", 3.5, 3},
        {"1e3", 1000, 1},
        {"  7.25e-3xyz", 0.00725, 7},
        {"3.9", 3.9, 3},
        {"+12", 12, 12},
        {"5eV", 5, 5},  // an exponent marker without digits is not part of the number
        {"12e", 12, 12},
        {"1.5e+", 1.5, 1},
        {"\t\n-0.25", -0.25, 0},
        {".5", 0.5, 0},
        {"12.", 12, 12},
        {"inf", 0, 0},  // stream extraction knows no "inf", "nan" or hex floats
        {"nan", 0, 0},
        {"0x10", 0, 0},
        {"- 3", 0, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string("text: '") + r.text + "'");
        EXPECT_DOUBLE_EQ(StringToDouble(r.text), r.d);
        EXPECT_FLOAT_EQ(StringToFloat(r.text), static_cast<float>(r.d));
        EXPECT_EQ(StringToInt(r.text), r.i);
    }
}

TEST(TextToNumber, OutOfRangeSaturates)
{
    EXPECT_EQ(StringToInt("99999999999"), INT_MAX);
    EXPECT_EQ(StringToInt("-99999999999"), INT_MIN);
    EXPECT_EQ(StringToInt("-2147483648"), INT_MIN);
    EXPECT_EQ(StringToDouble("1e999"), DBL_MAX);
    EXPECT_EQ(StringToDouble("-1e999"), -DBL_MAX);
    EXPECT_EQ(StringToFloat("1e50"), FLT_MAX);
}

TEST(Trim, BlankBytesAtBothEnds)
{
    EXPECT_EQ(Trim(" \t\r\n "), "");
    EXPECT_EQ(Trim(""), "");
    EXPECT_EQ(Trim("  a b  "), "a b");
    EXPECT_EQ(TrimLeft("  a "), "a ");
    EXPECT_EQ(TrimRight("  a "), "  a");
    // A trailing UTF-8 character (U+00E9, C3 A9) is made of bytes >= 0x80.
    EXPECT_EQ(Trim("caf\xC3\xA9"), "caf");
    EXPECT_EQ(Trim("\x7F"
                   "a\x7F"),
              "\x7F"
              "a\x7F");
    EXPECT_EQ(TrimText(std::string("\0x\0", 3)), "x");
}

TEST(SplitLines, BreaksAndTheLastLine)
{
    const struct
    {
        std::string text;
        Lines lines;
        const char* why;
    } rows[] = {
        {"", {}, "empty text gives no line"},
        {"a", {"a"}, "no break"},
        {"ab\r\n", {"ab"}, "CR LF is one break, no empty last line"},
        {"\r\n\r\n", {"", ""}, "two empty lines"},
        {"a\n\nb\r\nc", {"a", "", "b", "c"}, "mixed breaks"},
        {"a\n\rb", {"a", "", "b"}, "LF CR is two breaks"},
        {"x\n  ", {"x"}, "blank last part is dropped"},
        {" a \n b ", {" a ", "b"}, "only the last line is trimmed"},
        {"a\rb\r", {"a", "b"}, "CR alone breaks"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        Lines out{"stale"};
        SplitLines(out, r.text);
        EXPECT_EQ(out, r.lines);
    }
}

TEST(SplitFields, SeparatorRuns)
{
    const struct
    {
        std::string line;
        Lines fields;
    } rows[] = {
        {"1, 2.5\t3", {"1", "2.5", "3"}},
        {"a,,b", {"a", "b"}},
        {"  a , b", {"a", "b"}},
        {"", {}},
        {" ,\t\r\n", {}},
        {"H\xC3\xA9 1", {"H\xC3\xA9", "1"}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.line);
        Lines out{"stale"};
        SplitFields(out, r.line);
        EXPECT_EQ(out, r.fields);
    }
}

TEST(ExtractTag, Cases)
{
    const struct
    {
        const char* text;
        const char* tag;
        bool found;
        const char* before;
        const char* attributes;
        const char* content;
        const char* after;
    } rows[] = {
        {"x<a>1</a>y", "a", true, "x", "", "1", "y"},
        {"<a k=\"v\">c</a>", "a", true, "", " k=\"v\"", "c", ""},
        {"<a k=\"1>2\">c</a>", "a", true, "", " k=\"1>2\"", "c", ""},  // '>' inside quotes
        {"<version>5</version>", "ver", false, "<version>5</version>", "", "", ""},
        {"no tags", "a", false, "no tags", "", "", ""},
        {"<a>open", "a", true, "", "", "open", ""},  // no closing tag
        {"<a k=\"v", "a", true, "", " k=\"v", "", ""},  // no end of the opening tag
        {"<a><a>in</a>out</a>", "a", true, "", "", "<a>in", "out</a>"},  // no pairing of nested names
        {"<b x><a>1</a>", "b", true, "", " x", "<a>1</a>", ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        std::string before = "s", attributes = "s", content = "s", after = "s";
        EXPECT_EQ(ExtractTag(r.text, r.tag, before, attributes, content, after), r.found);
        EXPECT_EQ(before, r.before);
        EXPECT_EQ(attributes, r.attributes);
        EXPECT_EQ(content, r.content);
        EXPECT_EQ(after, r.after);
    }
}

TEST(ExtractTag, GetTagInt)
{
    int v = -1;
    GetTagInt("<version>12</version>", "version", v, 99);
    EXPECT_EQ(v, 12);
    GetTagInt("<other>12</other>", "version", v, 99);
    EXPECT_EQ(v, 99);
    GetTagInt("<version></version>", "version", v, 98);
    EXPECT_EQ(v, 98);
    GetTagInt("<version>x</version>", "version", v, 97);
    EXPECT_EQ(v, 0);
}

TEST(FileNames, ExtensionAndDirectory)
{
    const struct
    {
        const char* name;
        const char* ext;
        const char* dir;
    } rows[] = {
        {"run1.xml_cl", "xml_cl", ""},
        {"a.b.c", "c", ""},
        {".xyz", "", ""},
        {"file.", "", ""},
        {"dir.old\\file", "", "dir.old\\"},
        {"dir.old/file", "", "dir.old/"},
        {"C:\\data\\cmd_drev", "", "C:\\data\\"},
        {"name", "", ""},
        {"/name", "", ""},
        {"/usr/bin/", "", "/usr/bin/"},
        {"x/Cu.XYZ", "XYZ", "x/"},
        {"", "", ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(FileNameExtension(r.name), r.ext);
        EXPECT_EQ(GetFileExtension(r.name), r.ext);
        EXPECT_EQ(FileNameDirectory(r.name), r.dir);
        EXPECT_EQ(GetFileDirectory(r.name), r.dir);
    }
}

// Matrices as Barn elements: the text form, the binary forms of every class,
// the older forms, the voxel-set form, and what malformed documents give.

#include "core/LwBarnXml.h"
#include "core/LwBinaryDataToText.h"
#include "core/LwError.h"
#include "core/LwMatrixBarn.h"
#include "core/LwQBarnFile.h"
#include "BarnTestText.h"
#include "BinaryTextTable.h"
#include "FilledMatrix.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <regex>
#include <string>
#include <vector>

using barn_test::ErrorText;
using barn_test::Parse;
using barn_test::WrittenText;

namespace {

const char* const kFormats[] = {"t", "b", "bb"};

struct Begins
{
    int col, row;
};
const Begins kBegins[] = {{0, 0}, {2, -1}, {-5, 3}};

struct Size2
{
    int cols, rows;
};
const Size2 kShapes[] = {{3, 2}, {1, 4}, {4, 1}, {1, 1}};

// Values of many magnitudes and both signs, exactly representable as float.
float Sample(int i)
{
    const int mantissa = (i * 37) % 23 - 11;
    return std::ldexp(static_cast<float>(mantissa) + 0.375f, (i * 7) % 41 - 20);
}

// What the text form gives back for v: printed "%.6e" (seven significant
// digits), read back as "%Lg" reads into the suite's widest type, then
// narrowed to the element type.
template <class T>
T ThroughText(T v)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.6Le", static_cast<long double>(v));
    if constexpr (sizeof(LDouble) == sizeof(double))
        return static_cast<T>(std::strtod(text, nullptr));
    else
        return static_cast<T>(std::strtold(text, nullptr));
}

template <class M>
void ExpectSameShape(const M& got, const M& want)
{
    EXPECT_EQ(got.ColSize, want.ColSize);
    EXPECT_EQ(got.RowSize, want.RowSize);
    EXPECT_EQ(got.ColBegin, want.ColBegin);
    EXPECT_EQ(got.RowBegin, want.RowBegin);
}

// Writes `m` as element "m" of a document with the top rack "d".
template <class M>
std::string Written(M& m, const std::string& format)
{
    LwBarnXml doc("w");
    doc.OpenRack("d");
    EXPECT_TRUE(SerializeMatrix(doc, "m", m, format));
    doc.CloseRack("d");
    return WrittenText(doc);
}

// Reads element "m" of a document text with the top rack "d".
template <class M>
bool ReadBack(const std::string& text, M& m)
{
    auto doc = Parse(text);
    EXPECT_TRUE(doc->OpenRack("d"));
    return SerializeMatrix(*doc, "m", m, "b");
}

// The value text of the first rack `name` in a document text.
std::string ValueOf(const std::string& text, const std::string& name)
{
    const std::string open = "<" + name + ">";
    const size_t begin = text.find(open);
    if (begin == std::string::npos)
        return "(absent)";
    const size_t from = begin + open.size();
    return text.substr(from, text.find("</" + name + ">", from) - from);
}

template <class M>
void CheckRoundTrips()
{
    using T = typename M::ElementType;
    for (const char* format : kFormats) {
        for (const Begins& b : kBegins) {
            for (const Size2& s : kShapes) {
                SCOPED_TRACE(std::string(format) + " begins " + std::to_string(b.col) + "," +
                             std::to_string(b.row) + " shape " + std::to_string(s.cols) + "x" +
                             std::to_string(s.rows));
                M original = FilledMatrix<M>(s.cols, s.rows, b.col, b.row, Sample);
                const std::string text = Written(original, format);
                M read;
                ASSERT_TRUE(ReadBack(text, read));
                ExpectSameShape(read, original);
                for (int i = 0; i < original.ElementCount(); ++i) {
                    const T want =
                        std::string(format) == "t" ? ThroughText(original.Buffer()[i]) : original.Buffer()[i];
                    EXPECT_EQ(read.Buffer()[i], want) << i;
                }
            }
        }
        // An empty matrix reads back empty, begins 0.
        M empty;
        M read = FilledMatrix<M>(2, 2, 1, 1, Sample);
        EXPECT_TRUE(ReadBack(Written(empty, format), read)) << format;
        EXPECT_EQ(read.ColSize, 0);
        EXPECT_EQ(read.RowSize, 0);
        EXPECT_EQ(read.ColBegin, 0);
    }
}

std::string Elements(const std::string& inside)
{
    return "<d><m><lw_matrix>" + inside + "</lw_matrix></m></d>";
}

}  // namespace

TEST(LwMatrixBarn, EveryClassRoundTripsInEveryFormAndBegin)
{
    {
        SCOPED_TRACE("LwFloatMatrix");
        CheckRoundTrips<LwFloatMatrix>();
    }
    {
        SCOPED_TRACE("LwDoubleMatrix");
        CheckRoundTrips<LwDoubleMatrix>();
    }
    {
        SCOPED_TRACE("LwLDoubleMatrix");
        CheckRoundTrips<LwLDoubleMatrix>();
    }
}

TEST(LwMatrixBarn, TextFormLayout)
{
    LwLDoubleMatrix m(2, 2);
    m(0, 0) = 1;
    m(1, 0) = 2;
    m(0, 1) = 3;
    m(1, 1) = 4;
    const std::string text = Written(m, "t");
    auto doc = Parse(text);
    EXPECT_EQ(barn_test::Shape(*doc->Root()),
              "[d]([m]([lw_matrix]([ColSize],[ColBegin],[RowSize],[RowBegin],[elements])))");
    EXPECT_EQ(ValueOf(text, "elements"), "\n1.000000e+00,2.000000e+00,\n3.000000e+00,4.000000e+00,\n");
    EXPECT_EQ(ValueOf(text, "ColSize"), "2");
}

TEST(LwMatrixBarn, BinaryDataMatchPythonStructPack)
{
    // The data element of a binary form is the reference text of the
    // struct.pack'ed elements: '<f' for float matrices and voxel sets, '<d'
    // for double and long-double matrices, in every build.
    int checked = 0;
    for (const binary_text::Case& r : binary_text::Load()) {
        if (r.kind == "hex" || r.form == "binary")
            continue;
        SCOPED_TRACE(r.form + " " + r.kind + " " + r.payload);
        const std::string format = r.form == "base64b" ? "bb" : "b";
        const int n = static_cast<int>(r.values.size());
        std::vector<std::string> texts;
        if (r.kind == "f32") {
            LwFloatMatrix f(n, 1);
            LwFloatMatrix3D v;
            v.Create(1, n, 1);
            for (int i = 0; i < n; ++i)
                f.Buffer()[i] = v.Buffer()[i] = static_cast<float>(r.values[i]);
            texts = {Written(f, format), Written(v, format)};
        } else {
            LwDoubleMatrix d(1, n);
            LwLDoubleMatrix ld(n, 1);
            for (int i = 0; i < n; ++i) {
                d.Buffer()[i] = r.values[i];
                ld.Buffer()[i] = static_cast<LDouble>(r.values[i]);
            }
            texts = {Written(d, format), Written(ld, format)};
        }
        for (const std::string& text : texts) {
            EXPECT_EQ(ValueOf(text, r.form), r.text);
            ++checked;
        }
    }
    EXPECT_GE(checked, 24);
}

TEST(LwMatrixBarn, BinaryRacksByClass)
{
    LwFloatMatrix f(1, 1);
    LwDoubleMatrix d(1, 1);
    LwLDoubleMatrix ld(1, 1);
    f.SetZero();
    d.SetZero();
    ld.SetZero();
    EXPECT_EQ(barn_test::Shape(*Parse(Written(f, "b"))->Root()),
              "[d]([m]([LwFloatMatrixBinary]([ColSize],[ColBegin],[RowSize],[RowBegin],[base64])))");
    EXPECT_NE(Written(d, "bb").find("<m><LwDoubleMatrixBinary>"), std::string::npos);
    EXPECT_NE(Written(ld, "bb").find("<m><LDoubleMatrixBinary>"), std::string::npos);
    EXPECT_EQ(ValueOf(Written(ld, "bb"), "base64b"), "AAAAAAAAAAA=");  // one 8-byte zero
}

TEST(LwMatrixBarn, OlderFormsAreRead)
{
    // Older text form: one rack "r" per row; the last item may lack its comma.
    const std::string legacy =
        "<d><m><LDoubleMatrix><ColSize>3</ColSize><ColBegin>1</ColBegin><RowSize>2</RowSize>"
        "<RowBegin>-1</RowBegin><elements><r>1.5,2.5,3.5,</r><r> -1e3,0.25,abc</r></elements>"
        "</LDoubleMatrix></m></d>";
    LwFloatMatrix f;
    ASSERT_TRUE(ReadBack(legacy, f));
    EXPECT_EQ(f.ColBegin, 1);
    EXPECT_EQ(f.RowBegin, -1);
    const float want[] = {1.5f, 2.5f, 3.5f, -1000.0f, 0.25f, 0.0f};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(f.Buffer()[i], want[i]) << i;

    // "TDoubleMatrixBinary" is read by LwDoubleMatrix only.
    LwDoubleMatrix d = FilledMatrix<LwDoubleMatrix>(2, 3, 4, 5, Sample);
    std::string older = Written(d, "b");
    for (const char* tag : {"<LwDoubleMatrixBinary>", "</LwDoubleMatrixBinary>"}) {
        std::string t = tag;
        older.replace(older.find(t), t.size(),
                      t[1] == '/' ? "</TDoubleMatrixBinary>" : "<TDoubleMatrixBinary>");
    }
    LwDoubleMatrix read;
    ASSERT_TRUE(ReadBack(older, read));
    ExpectSameShape(read, d);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(read.Buffer()[i], d.Buffer()[i]);
    LwFloatMatrix untouched = FilledMatrix<LwFloatMatrix>(1, 1, 7, 7, Sample);
    EXPECT_FALSE(ReadBack(older, untouched));
    EXPECT_EQ(untouched.ColBegin, 7);

    // The "binary" data element (custom alphabet) is accepted.
    LwBarnXml doc("w");
    doc.OpenRack("d");
    doc.OpenRack("m");
    doc.OpenRack("LwFloatMatrixBinary");
    LwFloatMatrix small = FilledMatrix<LwFloatMatrix>(2, 2, -1, 0, Sample);
    EXPECT_TRUE(SerializeMatrixBinary(doc, small, false, false));
    doc.CloseRack("LwFloatMatrixBinary");
    doc.CloseRack("m");
    doc.CloseRack("d");
    const std::string custom = WrittenText(doc);
    EXPECT_NE(custom.find("<binary>00000010"), std::string::npos) << custom;
    LwFloatMatrix fromCustom;
    ASSERT_TRUE(ReadBack(custom, fromCustom));
    ExpectSameShape(fromCustom, small);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(fromCustom.Buffer()[i], small.Buffer()[i]);
}

// The sizes an element declares, from the form SerializeMatrix would read,
// without reading or consuming anything: the matrix reads afterwards.
TEST(LwMatrixBarn, DeclaredSizesAreTakenWithoutReading)
{
    struct Case
    {
        const char* what;
        std::string text;
        bool found;
        LwLong cols, rows;
    };
    LwFloatMatrix f = FilledMatrix<LwFloatMatrix>(3, 2, 1, -1, Sample);
    LwDoubleMatrix d = FilledMatrix<LwDoubleMatrix>(4, 5, 0, 0, Sample);
    std::string older = Written(d, "b");
    const std::string tag = "LwDoubleMatrixBinary>";
    for (std::size_t at = older.find(tag); at != std::string::npos; at = older.find(tag))
        older.replace(at, tag.size(), "TDoubleMatrixBinary>");
    const Case cases[] = {
        {"text form", Written(f, "t"), true, 3, 2},
        {"binary form", Written(f, "b"), true, 3, 2},
        {"standard base64", Written(f, "bb"), true, 3, 2},
        {"older text form",
         "<d><m><LDoubleMatrix><ColSize>7</ColSize><RowSize>1</RowSize></LDoubleMatrix></m></d>", true, 7, 1},
        {"text form before the binary one",
         "<d><m><LwFloatMatrixBinary><ColSize>9</ColSize></LwFloatMatrixBinary><lw_matrix><ColSize>2</"
         "ColSize>"
         "<RowSize>2</RowSize></lw_matrix></m></d>",
         true, 2, 2},
        {"sizes missing", "<d><m><LwFloatMatrixBinary></LwFloatMatrixBinary></m></d>", true, 0, 0},
        {"another class's binary rack", older, false, -1, -1},
        {"no known form", "<d><m><other></other></m></d>", false, -1, -1},
        {"no element", "<d></d>", false, -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto doc = Parse(c.text);
        ASSERT_TRUE(doc->OpenRack("d"));
        LwLong cols = -1, rows = -1;
        EXPECT_EQ(DeclaredMatrixSizes<LwFloatMatrix>(*doc, *doc->CurrentRack(), "m", cols, rows), c.found);
        EXPECT_EQ(cols, c.cols);
        EXPECT_EQ(rows, c.rows);
    }
    // LwDoubleMatrix reads the older binary rack; the element stays in place.
    auto doc = Parse(older);
    ASSERT_TRUE(doc->OpenRack("d"));
    LwLong cols = 0, rows = 0;
    EXPECT_TRUE(DeclaredMatrixSizes<LwDoubleMatrix>(*doc, *doc->CurrentRack(), "m", cols, rows));
    EXPECT_EQ(cols, 4);
    EXPECT_EQ(rows, 5);
    LwDoubleMatrix read;
    ASSERT_TRUE(SerializeMatrix(*doc, "m", read, "b"));
    ExpectSameShape(read, d);
}

// The bound on the values an element's data hold never falls below what the
// reader takes from a whole matrix (any form, any size, every class), and
// data cut short lower it below the declared count.
TEST(LwMatrixBarn, HeldValuesBoundCoversWholeDataAndNotDataCutShort)
{
    const auto check = [](auto matrix, const char* what) {
        using M = decltype(matrix);
        for (const char* format : {"t", "b", "bb"}) {
            for (int n : {1, 2, 3, 4, 5, 6, 7, 100, 101}) {
                SCOPED_TRACE(std::string(what) + " " + format + " " + std::to_string(n));
                M m = FilledMatrix<M>(n, 1, 0, 0, Sample);
                const std::string text = Written(m, format);
                auto doc = Parse(text);
                ASSERT_TRUE(doc->OpenRack("d"));
                const std::int64_t bound = HeldMatrixValuesBound<M>(*doc, *doc->CurrentRack(), "m");
                EXPECT_GE(bound, n);
                EXPECT_LE(bound, n + 4);
                // Half of the data text gone.
                if (n < 100)
                    continue;
                const std::regex data("<(elements|binary|base64|base64b)>([^<]*)</\\1>");
                std::smatch found;
                ASSERT_TRUE(std::regex_search(text, found, data)) << text;
                const std::string cut = found.prefix().str() + "<" + found[1].str() + ">" +
                                        found[2].str().substr(0, found[2].length() / 2) + "</" +
                                        found[1].str() + ">" + found.suffix().str();
                auto shortDoc = Parse(cut);
                ASSERT_TRUE(shortDoc->OpenRack("d"));
                EXPECT_LT(HeldMatrixValuesBound<M>(*shortDoc, *shortDoc->CurrentRack(), "m"), n);
            }
        }
    };
    check(LwFloatMatrix(), "float");
    check(LwDoubleMatrix(), "double");
    check(LwLDoubleMatrix(), "long double");
    check(LwLongMatrix(), "long");
    auto doc = Parse("<d><m><LwFloatMatrixBinary><ColSize>9</ColSize></LwFloatMatrixBinary></m></d>");
    ASSERT_TRUE(doc->OpenRack("d"));
    EXPECT_EQ(HeldMatrixValuesBound<LwFloatMatrix>(*doc, *doc->CurrentRack(), "m"), 0);
    EXPECT_EQ(HeldMatrixValuesBound<LwFloatMatrix>(*doc, *doc->CurrentRack(), "none"), 0);
}

TEST(LwMatrixBarn, TextFormReadingIsLenientAboutLayout)
{
    const std::string sizes =
        "<ColSize>2</ColSize><ColBegin>0</ColBegin><RowSize>2</RowSize><RowBegin>0</RowBegin>";
    const struct
    {
        const char* elements;
        LDouble want[4];
        const char* why;
    } rows[] = {
        {"1,2,3,4,", {1, 2, 3, 4}, "no line breaks"},
        {"\r\n 1, 2,\r\n\t3,\t4,\r\n", {1, 2, 3, 4}, "CR LF, blanks and tabs"},
        {"1,abc,3,4,", {1, 0, 3, 4}, "a text that is no number gives 0"},
        {"1,2,3,4,5", {1, 2, 3, 4}, "text after the last comma is ignored"},
        {"0x10,1e-2,-0,  +7.5e+1,", {16, 0.01, 0, 75}, "every form scanf reads"},
        {"1,2,\xc3\xa9"
         "3,4,",
         {1, 2, 3, 4},
         "bytes from 0x80 up are skipped before a number"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        LwLDoubleMatrix m;
        ASSERT_TRUE(ReadBack(Elements(sizes + "<elements>" + r.elements + "</elements>"), m));
        for (int i = 0; i < 4; ++i) {
            const double got = static_cast<double>(m.Buffer()[i]);
            EXPECT_DOUBLE_EQ(got, static_cast<double>(r.want[i])) << i;
        }
    }
}

TEST(LwMatrixBarn, NonFiniteElementsSurviveTheTextForm)
{
    LwDoubleMatrix m(3, 1);
    m.Buffer()[0] = std::numeric_limits<double>::infinity();
    m.Buffer()[1] = -std::numeric_limits<double>::infinity();
    m.Buffer()[2] = std::numeric_limits<double>::quiet_NaN();
    LwDoubleMatrix read;
    ASSERT_TRUE(ReadBack(Written(m, "t"), read));
    EXPECT_EQ(read.Buffer()[0], m.Buffer()[0]);
    EXPECT_EQ(read.Buffer()[1], m.Buffer()[1]);
    EXPECT_TRUE(std::isnan(read.Buffer()[2]));
}

TEST(LwMatrixBarn, TextFormThroughQtFileWithoutLineBreaks)
{
    // LwQBarnFile joins the lines of a file, so the line feeds of "elements"
    // are gone when it is read back.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("m.xml");
    LwLDoubleMatrix m = FilledMatrix<LwLDoubleMatrix>(4, 3, -2, 6, Sample);
    {
        LwQBarnFile out(path, "w");
        out.OpenRack("d");
        ASSERT_TRUE(SerializeMatrix(out, "m", m, "t"));
        out.CloseRack("d");
        out.Save();
    }
    LwQBarnFile in(path, "r");
    ASSERT_TRUE(in.OpenRack("d"));
    LwLDoubleMatrix read;
    ASSERT_TRUE(SerializeMatrix(in, "m", read, "t"));
    ExpectSameShape(read, m);
    for (int i = 0; i < m.ElementCount(); ++i)
        EXPECT_EQ(read.Buffer()[i], ThroughText(m.Buffer()[i]));
}

TEST(LwMatrixBarn, MalformedTextFormsFailWithoutTouchingTheMatrix)
{
    auto sizes = [](const std::string& cols, const std::string& rows) {
        return "<ColSize>" + cols + "</ColSize><ColBegin>0</ColBegin><RowSize>" + rows +
               "</RowSize><RowBegin>0</RowBegin>";
    };
    const struct
    {
        std::string doc;
        const char* error;
        const char* why;
    } rows[] = {
        {Elements(sizes("2", "2") + "<elements>1,2,3,4,5,</elements>"), "Too manay data", "one number more"},
        {Elements(sizes("2", "2") + "<elements>1,2,3,</elements>"), "Data is short", "one number less"},
        {Elements(sizes("2", "2") + "<elements>1,2,3,4</elements>"), "Data is short", "last comma missing"},
        {Elements(sizes("2", "2")), "Data is short", "no elements"},
        {Elements(sizes("40000", "40000") + "<elements>1,2,</elements>"), "Data is short",
         "sizes claiming 1.6e9 elements are not believed"},
        {Elements(sizes("-1", "2") + "<elements></elements>"), "Matrix Parameter Error", "negative size"},
        {Elements(sizes("-1", "-2") + "<elements></elements>"), "matrix creation Parameter Error",
         "both sizes negative"},
        {Elements(sizes("65536", "65536") + "<elements>1,</elements>"), "matrix creation Parameter Error",
         "2^32 elements"},
        {"<d><m><LDoubleMatrix>" + sizes("3", "2") +
             "<elements><r>1,2,3</r></elements></LDoubleMatrix></m></d>",
         "Data is short", "older form: a row missing"},
        {"<d><m><LDoubleMatrix>" + sizes("3", "2") +
             "<elements><r>1,2,3</r><r>4,5</r></elements></LDoubleMatrix></m></d>",
         "Data is short", "older form: an item missing"},
        {"<d><m><LDoubleMatrix>" + sizes("30000", "30000") +
             "<elements><r>1</r></elements></LDoubleMatrix></m></d>",
         "Data is short", "older form: huge sizes"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        LwLDoubleMatrix ld = FilledMatrix<LwLDoubleMatrix>(2, 1, 9, 9, Sample);
        EXPECT_EQ(ErrorText([&] { ReadBack(r.doc, ld); }), r.error);
        EXPECT_EQ(ld.ColSize, 2);
        EXPECT_EQ(ld.ColBegin, 9);
        EXPECT_EQ(ld.Buffer()[1], static_cast<LDouble>(Sample(1)));
        LwFloatMatrix f = FilledMatrix<LwFloatMatrix>(2, 1, 9, 9, Sample);
        EXPECT_EQ(ErrorText([&] { ReadBack(r.doc, f); }), r.error);
        EXPECT_EQ(f.ColBegin, 9);
    }
}

TEST(LwMatrixBarn, EmptyShapesOfTheTextForm)
{
    // Shapes with no elements need no numbers, whichever size is 0.
    for (const Size2& s : {Size2{0, 3}, Size2{3, 0}, Size2{0, 0}}) {
        SCOPED_TRACE(std::to_string(s.cols) + "x" + std::to_string(s.rows));
        LwDoubleMatrix m(s.cols, s.rows);
        m.ColBegin = 4;
        LwDoubleMatrix read;
        ASSERT_TRUE(ReadBack(Written(m, "t"), read));
        ExpectSameShape(read, m);
    }
}

TEST(LwMatrixBarn, BinaryFormShortSurplusMissingAndMalformedData)
{
    LwFloatMatrix m = FilledMatrix<LwFloatMatrix>(3, 2, 1, 1, Sample);
    const std::string good = Written(m, "bb");
    const std::string data = ValueOf(good, "base64b");
    auto withData = [&](const std::string& element, const std::string& text) {
        std::string doc = good;
        const std::string old = "<base64b>" + data + "</base64b>";
        doc.replace(doc.find(old), old.size(),
                    element.empty() ? "" : "<" + element + ">" + text + "</" + element + ">");
        return doc;
    };
    const std::vector<float> six(m.Buffer(), m.Buffer() + 6);
    std::string fiveFloats, sevenFloats;
    LwBinaryDataToText codec;
    codec.ToTextBase64(six.data(), 5 * 4, fiveFloats);
    std::vector<float> seven = six;
    seven.push_back(42.0f);
    codec.ToText(seven.data(), 7 * 4, sevenFloats, true, false);

    {
        SCOPED_TRACE("one element too few: 1 x 1 zero, false");
        LwFloatMatrix r = FilledMatrix<LwFloatMatrix>(2, 2, 5, 5, Sample);
        EXPECT_FALSE(ReadBack(withData("base64b", fiveFloats), r));
        EXPECT_EQ(r.ColSize, 1);
        EXPECT_EQ(r.RowSize, 1);
        EXPECT_EQ(r.ColBegin, 0);
        EXPECT_EQ(r.Buffer()[0], 0.0f);
    }
    {
        SCOPED_TRACE("surplus elements are ignored");
        LwFloatMatrix r;
        EXPECT_TRUE(ReadBack(withData("base64", sevenFloats), r));
        ExpectSameShape(r, m);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(r.Buffer()[i], six[i]);
    }
    const struct
    {
        std::string doc;
        const char* error;
        const char* why;
    } rows[] = {
        {withData("", ""), "(no error)", "data element missing: false"},
        {withData("base64b", data + "A"), "Illigal Data", "length not a multiple of 4"},
        {withData("base64", "00000030" + data), "Size Error", "header count does not match"},
        {withData("base64", ""), "Size Error", "empty header form"},
        {withData("base64", "7fffffffAAAA"), "Size Error", "hostile header count"},
        {"<d><m><Other/></m></d>", "(no error)", "no known rack: false"},
        {"<d><n/></d>", "(no error)", "no element: false"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        LwFloatMatrix kept = FilledMatrix<LwFloatMatrix>(2, 2, 5, 5, Sample);
        bool result = true;
        EXPECT_EQ(ErrorText([&] { result = ReadBack(r.doc, kept); }), r.error);
        if (std::string(r.error) == "(no error)") {
            EXPECT_FALSE(result);
        }
        EXPECT_EQ(kept.ColSize, 2);
        EXPECT_EQ(kept.ColBegin, 5);
        EXPECT_EQ(kept.Buffer()[3], Sample(3));
    }
}

TEST(LwMatrixBarn, BinaryFormHostileSizes)
{
    auto doc = [](const std::string& cols, const std::string& rows) {
        return "<d><m><LwDoubleMatrixBinary><ColSize>" + cols + "</ColSize><ColBegin>0</ColBegin><RowSize>" +
               rows +
               "</RowSize><RowBegin>0</RowBegin><base64b>AAAAAAAAAAA=</base64b></LwDoubleMatrixBinary></m></"
               "d>";
    };
    const struct
    {
        std::string doc;
        const char* error;
        bool result;
        const char* why;
    } rows[] = {
        {doc("-1", "2"), "Matrix Parameter Error", false, "negative size"},
        {doc("-1", "-1"), "matrix creation Parameter Error", false, "both negative"},
        {doc("65536", "65536"), "matrix creation Parameter Error", false, "2^32 elements"},
        {doc("40000", "40000"), "(no error)", false, "1.6e9 elements claimed, one present"},
        {doc("0", "-4"), "(no error)", true, "a size 0 reads 0 x 0"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        LwDoubleMatrix m = FilledMatrix<LwDoubleMatrix>(2, 1, 3, 3, Sample);
        bool result = !r.result;
        EXPECT_EQ(ErrorText([&] { result = ReadBack(r.doc, m); }), r.error);
        if (std::string(r.error) == "(no error)") {
            EXPECT_EQ(result, r.result);
        }
    }
}

// "LDoubleMatrixBinary" data as a program with the 80-bit long double may
// have stored them: the raw storage of each element, `width` bytes apart
// (the value in the first 10, the rest padding).
std::string ExtendedData(const std::vector<long double>& values, int width)
{
    std::vector<unsigned char> bytes(values.size() * static_cast<size_t>(width), 0xA5);
    for (size_t i = 0; i < values.size(); ++i)
        std::memcpy(&bytes[i * static_cast<size_t>(width)], &values[i], 10);
    std::string text;
    LwBinaryDataToText().ToText(bytes.data(), static_cast<int>(bytes.size()), text, true, false);
    return text;
}

std::string LDoubleBinaryDoc(int cols, int rows, const std::string& data)
{
    return "<d><m><LDoubleMatrixBinary><ColSize>" + std::to_string(cols) +
           "</ColSize><ColBegin>1</ColBegin>" + "<RowSize>" + std::to_string(rows) +
           "</RowSize><RowBegin>0</RowBegin><base64>" + data + "</base64></LDoubleMatrixBinary></m></d>";
}

TEST(LwMatrixBarn, ExtendedElementsOfEveryStoredWidthAreRead)
{
    if (std::numeric_limits<long double>::digits != 64)
        GTEST_SKIP() << "the test writes the x87 80-bit storage of this machine's long double";
    // 1/3 and -2/3 differ in their last bits between the two widths; 1e-310
    // is a denormal double but a normal 80-bit value; 1e-4940 is an 80-bit
    // denormal (0 as a double); the infinity keeps its sign.
    const std::vector<long double> values = {1.0L / 3,       -2.0L / 3,
                                             6.02214076e23L, 1e-310L,
                                             1e-4940L,       -std::numeric_limits<long double>::infinity()};
    for (const int width : {10, 12, 16}) {
        SCOPED_TRACE("width " + std::to_string(width));
        LwLDoubleMatrix m;
        ASSERT_TRUE(ReadBack(LDoubleBinaryDoc(3, 2, ExtendedData(values, width)), m));
        EXPECT_EQ(m.ColSize, 3);
        EXPECT_EQ(m.RowSize, 2);
        EXPECT_EQ(m.ColBegin, 1);
        for (size_t i = 0; i < values.size(); ++i)
            EXPECT_EQ(m.Buffer()[i], static_cast<LDouble>(values[i])) << i;
    }
    // A NaN stays a NaN.
    LwLDoubleMatrix nan;
    ASSERT_TRUE(ReadBack(
        LDoubleBinaryDoc(1, 1, ExtendedData({std::numeric_limits<long double>::quiet_NaN()}, 16)), nan));
    EXPECT_TRUE(std::isnan(nan.Buffer()[0]));
    // 8-byte doubles, the form's own width, still read as doubles.
    const std::vector<double> doubles = {1.0 / 3, -2.0 / 3};
    std::string text;
    LwBinaryDataToText().ToText(doubles.data(), 16, text, true, false);
    LwLDoubleMatrix d;
    ASSERT_TRUE(ReadBack(LDoubleBinaryDoc(2, 1, text), d));
    EXPECT_EQ(d.Buffer()[0], static_cast<LDouble>(1.0 / 3));
    EXPECT_EQ(d.Buffer()[1], static_cast<LDouble>(-2.0 / 3));
}

TEST(LwMatrixBarn, ExtendedDataOfNoKnownWidthAreRefused)
{
    const std::vector<unsigned char> bytes(2 * 9, 0x3F);
    std::string text;
    LwBinaryDataToText().ToText(bytes.data(), static_cast<int>(bytes.size()), text, true, false);
    LwLDoubleMatrix kept = FilledMatrix<LwLDoubleMatrix>(2, 1, 4, 4, Sample);
    EXPECT_EQ(ErrorText([&] { ReadBack(LDoubleBinaryDoc(2, 1, text), kept); }),
              "LDoubleMatrixBinary data hold 18 bytes for 2 elements: not 8, 10, 12 or 16 bytes per element");
    EXPECT_EQ(kept.ColBegin, 4);  // unchanged
    EXPECT_EQ(kept.Buffer()[1], Sample(1));
}

// Kept fixtures: 1/3 and -2/3 as 16-byte x87 elements (their bytes worked
// out from 2^65 / 3, not by this machine's long double), and a voxel set
// whose sizes multiply past 2^63.
TEST(LwMatrixBarn, FixturesOfForeignAndHostileData)
{
    const auto fixture = [](const char* name) {
        std::ifstream in(std::string(LW_TEST_DATA_DIR) + "/" + name, std::ios::binary);
        EXPECT_TRUE(in.good()) << name;
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    LwLDoubleMatrix m;
    ASSERT_TRUE(ReadBack(fixture("ldouble_matrix_16_byte_elements.xml"), m));
    ASSERT_EQ(m.ElementCount(), 2);
    EXPECT_EQ(m.Buffer()[0], static_cast<LDouble>(1.0L / 3));
    EXPECT_EQ(m.Buffer()[1], static_cast<LDouble>(-2.0L / 3));

    LwFloatMatrix3D untouched;
    untouched.Create(1, 2, 1);
    untouched.Fill(5.0f);
    EXPECT_EQ(ErrorText([&] { ReadBack(fixture("voxel_set_sizes_past_2_63.xml"), untouched); }),
              "Cannot Get Memory");
    EXPECT_EQ(untouched.RowSize, 2);
}

TEST(LwMatrixBarn, WriteFormatErrorLeavesTheDocumentWhole)
{
    LwBarnXml doc("w");
    doc.OpenRack("d");
    LwFloatMatrix m = FilledMatrix<LwFloatMatrix>(1, 1, 0, 0, Sample);
    EXPECT_EQ(ErrorText([&] { SerializeMatrix(doc, "m", m, "x"); }), "Write format error");
    EXPECT_TRUE(SerializeMatrix(doc, "n", m, "b"));
    doc.CloseRack("d");
    auto back = Parse(WrittenText(doc));
    EXPECT_EQ(barn_test::Shape(*back->Root()),
              "[d]([n]([LwFloatMatrixBinary]([ColSize],[ColBegin],[RowSize],[RowBegin],[base64])))");
    // In read mode the format is not looked at.
    ASSERT_TRUE(back->OpenRack("d"));
    LwFloatMatrix read;
    EXPECT_TRUE(SerializeMatrix(*back, "n", read, "x"));
}

TEST(LwMatrixBarn, NumberFormatsOfTheTextForm)
{
    LwLDoubleMatrix m(2, 1);
    m.Buffer()[0] = 1;
    m.Buffer()[1] = 2.5;
    const struct
    {
        const char* format;
        const char* elements;
    } good[] = {
        {"%Le", "\n1.000000e+00,2.500000e+00,\n"},
        {"%Lg", "\n1,2.5,\n"},
        {"%+.2LE", "\n+1.00E+00,+2.50E+00,\n"},
        {"%-40.30Lf", nullptr},  // longer than the short buffer; checked by reading back
    };
    for (const auto& g : good) {
        SCOPED_TRACE(g.format);
        LwBarnXml doc("w");
        doc.OpenRack("d");
        doc.OpenRack("m");
        doc.OpenRack("lw_matrix");
        EXPECT_TRUE(WriteMatrixText(doc, m, g.format));
        doc.CloseRack("lw_matrix");
        doc.CloseRack("m");
        doc.CloseRack("d");
        const std::string text = WrittenText(doc);
        if (g.elements) {
            EXPECT_EQ(ValueOf(text, "elements"), g.elements);
        }
        LwLDoubleMatrix read;
        ASSERT_TRUE(ReadBack(text, read));
        EXPECT_EQ(read.Buffer()[0], 1);
        EXPECT_EQ(read.Buffer()[1], 2.5);
    }
    for (const char* bad : {"%d", "%e", "%Le%n", "%s", "", "%L", "Le"}) {
        SCOPED_TRACE(bad);
        LwBarnXml doc("w");
        EXPECT_EQ(ErrorText([&] { WriteMatrixText(doc, m, bad); }), "Write format error");
    }
}

TEST(LwMatrixBarn, VoxelSetsRoundTrip)
{
    for (const char* format : {"b", "bb"}) {
        SCOPED_TRACE(format);
        LwFloatMatrix3D v;
        v.Create(3, 2, 4);
        v.ColBegin = -1;
        v.RowBegin = 2;
        v.DepthBegin = 7;
        for (int i = 0; i < v.ElementCount(); ++i)
            v.Buffer()[i] = Sample(i);
        const std::string text = Written(v, format);
        EXPECT_EQ(barn_test::Shape(*Parse(text)->Root()),
                  std::string("[d]([m]([LwFloatMatrix3DBinary]([ColSize],[ColBegin],[RowSize],[RowBegin],"
                              "[DepthSize],[DepthBegin],[") +
                      (std::string(format) == "b" ? "base64" : "base64b") + "])))");
        LwFloatMatrix3D read;
        ASSERT_TRUE(ReadBack(text, read));
        EXPECT_EQ(read.ColSize, 3);
        EXPECT_EQ(read.RowSize, 2);
        EXPECT_EQ(read.DepthSize, 4);
        EXPECT_EQ(read.ColBegin, -1);
        EXPECT_EQ(read.RowBegin, 2);
        EXPECT_EQ(read.DepthBegin, 7);
        for (int i = 0; i < v.ElementCount(); ++i)
            EXPECT_EQ(read.Buffer()[i], v.Buffer()[i]) << i;

        // Empty voxel sets go through their data element too.
        LwFloatMatrix3D empty;
        read.Create(1, 1, 1);
        EXPECT_TRUE(ReadBack(Written(empty, format), read));
        EXPECT_EQ(read.ElementCount(), 0);
    }
    EXPECT_EQ(Matrix3DBinaryTag(), "LwFloatMatrix3DBinary");
}

TEST(LwMatrixBarn, VoxelSetFailures)
{
    LwFloatMatrix3D v;
    v.Create(2, 2, 2);
    v.Fill(3.0f);
    LwBarnXml out("w");
    out.OpenRack("d");
    EXPECT_EQ(ErrorText([&] { SerializeMatrix(out, "m", v, "t"); }), "Undefined write format");
    EXPECT_EQ(ErrorText([&] { SerializeMatrix3DBinary(out, v, "x"); }), "Undefined write format");
    EXPECT_TRUE(out.CurrentRack()->Children().empty());  // nothing written
    auto in = Parse("<d/>");
    EXPECT_EQ(ErrorText([&] { SerializeMatrix3DBinary(*in, v, "t"); }), "Undefined write format");

    const std::string good = Written(v, "b");
    const std::string data = "<base64>" + ValueOf(good, "base64") + "</base64>";
    std::string noData = good;
    noData.replace(noData.find(data), data.size(), "");
    LwFloatMatrix3D kept;
    kept.Create(1, 2, 1);
    kept.Fill(9.0f);
    EXPECT_FALSE(ReadBack(noData, kept));
    EXPECT_EQ(kept.RowSize, 2);  // unchanged

    std::string shortData = good;
    std::string sevenFloats;
    LwBinaryDataToText().ToText(v.Buffer(), 7 * 4, sevenFloats, true, false);
    shortData.replace(shortData.find(data), data.size(), "<base64>" + sevenFloats + "</base64>");
    EXPECT_FALSE(ReadBack(shortData, kept));
    EXPECT_EQ(kept.ElementCount(), 1);
    EXPECT_EQ(kept.Buffer()[0], 0.0f);

    std::string negative = good;
    negative.replace(negative.find("<DepthSize>2"), 12, "<DepthSize>-2");
    EXPECT_EQ(ErrorText([&] { ReadBack(negative, kept); }), "Cannot Get Memory");

    // Sizes whose product passes 2^63 (2^21 cubed exactly, 2^31 - 1 cubed far
    // beyond): refused from the sizes alone, the matrix untouched.
    for (const char* size : {"2097152", "2147483647"}) {
        SCOPED_TRACE(size);
        std::string huge = good;
        for (const char* name : {"ColSize", "RowSize", "DepthSize"}) {
            const std::string from = std::string("<") + name + ">2<";
            huge.replace(huge.find(from), from.size(), std::string("<") + name + ">" + size + "<");
        }
        LwFloatMatrix3D untouched;
        untouched.Create(1, 3, 1);
        untouched.Fill(4.0f);
        EXPECT_EQ(ErrorText([&] { ReadBack(huge, untouched); }), "Cannot Get Memory");
        EXPECT_EQ(untouched.RowSize, 3);
        EXPECT_EQ(untouched.Buffer()[2], 4.0f);
    }
}

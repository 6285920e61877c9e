#include "core/LwError.h"
#include "core/LwExpressionParser.h"
#include "core/LwParserFunc.h"
#include "ReferenceConstants.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

static_assert(std::has_virtual_destructor_v<LwParserFuncBase>,
              "the parser deletes its functions through the base");

namespace {

std::vector<std::unique_ptr<LwParserFuncBase>> AllFunctions()
{
    std::vector<std::unique_ptr<LwParserFuncBase>> f;
    f.push_back(std::make_unique<LwParserPOW>());
    f.push_back(std::make_unique<LwParserFABS>());
    f.push_back(std::make_unique<LwParserRAND>());
    f.push_back(std::make_unique<LwParserSQRT>());
    f.push_back(std::make_unique<LwParserMAX>());
    f.push_back(std::make_unique<LwParserMIN>());
    f.push_back(std::make_unique<LwParserSIN>());
    f.push_back(std::make_unique<LwParserCOS>());
    f.push_back(std::make_unique<LwParserTAN>());
    f.push_back(std::make_unique<LwParserPI>());
    f.push_back(std::make_unique<LwParserEXP>());
    f.push_back(std::make_unique<LwParserLN>());
    f.push_back(std::make_unique<LwParserLOG10>());
    f.push_back(std::make_unique<LwParserACOS>());
    f.push_back(std::make_unique<LwParserASIN>());
    f.push_back(std::make_unique<LwParserATAN>());
    f.push_back(std::make_unique<LwParserATAN2>());
    f.push_back(std::make_unique<LwParserSINH>());
    f.push_back(std::make_unique<LwParserCOSH>());
    f.push_back(std::make_unique<LwParserTANH>());
    f.push_back(std::make_unique<LwParserRADIAN>());
    f.push_back(std::make_unique<LwParserDEGREE>());
    f.push_back(std::make_unique<LwParserSTEP>());
    return f;
}

LwParserFuncBase* Find(const std::vector<std::unique_ptr<LwParserFuncBase>>& all, const std::string& name)
{
    for (const auto& f : all)
        if (f->GetName() == name)
            return f.get();
    return nullptr;
}

// One row of function_table.txt (written by data/parser_tables.py from
// Python's math module with the parser's domain rules).
struct FunctionRow
{
    std::string name;
    std::vector<double> args;
    std::string expected;  // a number, "nan", "inf", or "error"
    std::string expression;  // the same call for the parser, or "-"
    std::string line;
};

std::vector<FunctionRow> ReadFunctionTable()
{
    std::ifstream in(LW_TEST_DATA_DIR "/function_table.txt");
    EXPECT_TRUE(in.good());
    std::vector<FunctionRow> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        FunctionRow r;
        int count = 0;
        fields >> r.name >> count;
        for (int i = 0; i < count; ++i) {
            std::string a;
            fields >> a;
            r.args.push_back(std::strtod(a.c_str(), nullptr));
        }
        fields >> r.expected >> r.expression;
        r.line = line;
        rows.push_back(r);
    }
    return rows;
}

// The error text of the domain-limited functions.
std::string DomainError(const std::string& name)
{
    return name + "(x): bad parameter x<=0";
}

// Checks `value` against the row: NaN and infinities exactly, finite values
// within a few units in the last place (another libm may round its last bit
// differently from the one Python used).
void ExpectMatches(double value, const FunctionRow& r)
{
    const double ref = std::strtod(r.expected.c_str(), nullptr);
    if (std::isnan(ref)) {
        EXPECT_TRUE(std::isnan(value)) << value;
    } else if (std::isinf(ref)) {
        EXPECT_EQ(value, ref);
    } else {
        const double tolerance = 4 * std::numeric_limits<double>::epsilon() * std::fabs(ref);
        EXPECT_NEAR(value, ref, tolerance);
    }
}

}  // namespace

TEST(LwParserFunc, NamesHelpTextsAndParameterCounts)
{
    const struct
    {
        const char* name;
        const char* help;
        LwLong count;
    } rows[] = {
        {"pow", "pow(x,y): return x^y", 2},
        {"fabs", "fabs(x): absolute value", 1},
        {"rand", "rand(): random value", 0},
        {"sqrt", "sqrt(x): square root", 1},
        {"max", "max(x,y):return maximum value in x and y", 2},
        {"min", "min(x,y): return minimum value in x and y", 2},
        {"sin", "sin(x_rad)", 1},
        {"cos", "cos(x_rad)", 1},
        {"tan", "tan(x_rad)", 1},
        {"pi", "pi():return PI", 0},
        {"exp", "exp(x)", 1},
        {"ln", "ln(x): x>0", 1},
        {"log10", "log10(x): x>0", 1},
        {"acos", "acos(x): -1<=x<=1", 1},
        {"asin", "asin(x): -1<=x<=1", 1},
        {"atan", "atan(x)", 1},
        {"atan2", "atan2(y,x)", 2},
        {"sinh", "sinh(x)", 1},
        {"cosh", "cosh(x)", 1},
        {"tanh", "tanh(x)", 1},
        {"radian", "radian(x_degree)", 1},
        {"degree", "degree(x_radian)", 1},
        {"step", "step(x): return 0(x<0), 1(x>=0)", 1},
    };
    const auto all = AllFunctions();
    ASSERT_EQ(all.size(), std::size(rows));
    for (std::size_t i = 0; i < all.size(); ++i) {
        SCOPED_TRACE(rows[i].name);
        EXPECT_EQ(all[i]->GetName(), rows[i].name);
        EXPECT_EQ(all[i]->GetHelp(), rows[i].help);
        EXPECT_EQ(all[i]->GetParameterCount(), rows[i].count);
    }
}

TEST(LwParserFunc, ParameterIndexBeyondTheCountThrows)
{
    for (const auto& f : AllFunctions()) {
        SCOPED_TRACE(f->GetName());
        const LwLong n = f->GetParameterCount();
        for (LwLong index : {LwLong(-1), n, n + 1}) {
            try {
                f->SetParameter(index, 1.0);
                ADD_FAILURE() << "no error for index " << index;
            } catch (const LwError& e) {
                EXPECT_EQ(e.Message(), "error: Parameter is too many.");
            }
        }
        for (LwLong index = 0; index < n; ++index)
            EXPECT_NO_THROW(f->SetParameter(index, 1.0));
    }
}

TEST(LwParserFunc, ValuesAgreeWithPythonMath)
{
    const auto rows = ReadFunctionTable();
    ASSERT_GT(rows.size(), 80u);
    const auto all = AllFunctions();
    for (const auto& r : rows) {
        SCOPED_TRACE(r.line);
        LwParserFuncBase* f = Find(all, r.name);
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(f->GetParameterCount(), static_cast<LwLong>(r.args.size()));
        for (std::size_t i = 0; i < r.args.size(); ++i)
            f->SetParameter(static_cast<LwLong>(i), r.args[i]);
        if (r.expected == "error") {
            try {
                f->Compute();
                ADD_FAILURE() << "no error";
            } catch (const LwError& e) {
                EXPECT_EQ(e.Message(), DomainError(r.name));
            }
        } else {
            ExpectMatches(f->Compute(), r);
        }
    }
}

TEST(LwParserFunc, ValuesThroughTheParser)
{
    // The same calls spelled as expressions: the parser hands the arguments
    // over in order and passes the domain errors on unchanged.
    LwExpressionParser parser;
    int checked = 0;
    for (const auto& r : ReadFunctionTable()) {
        if (r.expression == "-")
            continue;
        SCOPED_TRACE(r.line);
        ++checked;
        if (r.expected == "error") {
            try {
                parser.Evaluate(r.expression);
                ADD_FAILURE() << "no error";
            } catch (const LwError& e) {
                EXPECT_EQ(e.Message(), DomainError(r.name));
            }
        } else {
            ExpectMatches(parser.Evaluate(r.expression), r);
        }
    }
    EXPECT_GT(checked, 70);
}

TEST(LwParserFunc, EdgeValues)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double pi = Reference::Pi;
    LwParserSTEP step;
    step.SetParameter(0, 0.0);
    EXPECT_EQ(step.Compute(), 1.0);
    step.SetParameter(0, -std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(step.Compute(), 0.0);
    step.SetParameter(0, nan);
    EXPECT_EQ(step.Compute(), 1.0);

    LwParserACOS acos;
    acos.SetParameter(0, 1.5);
    EXPECT_EQ(acos.Compute(), 0.0);
    acos.SetParameter(0, -1.0);
    EXPECT_EQ(acos.Compute(), pi);

    // max and min answer the second parameter whenever a comparison with NaN
    // is false.
    LwParserMAX max;
    LwParserMIN min;
    for (LwParserFunc2* f : {static_cast<LwParserFunc2*>(&max), static_cast<LwParserFunc2*>(&min)}) {
        SCOPED_TRACE(f->GetName());
        f->SetParameter(0, 1.0);
        f->SetParameter(1, nan);
        EXPECT_TRUE(std::isnan(f->Compute()));
        f->SetParameter(0, nan);
        f->SetParameter(1, 1.0);
        EXPECT_EQ(f->Compute(), 1.0);
    }

    LwParserATAN2 atan2;
    atan2.SetParameter(0, 1.0);  // y
    atan2.SetParameter(1, 0.0);  // x
    EXPECT_EQ(atan2.Compute(), pi / 2);

    LwParserRADIAN radian;
    radian.SetParameter(0, 180.0);
    EXPECT_EQ(radian.Compute(), pi);
    LwParserDEGREE degree;
    degree.SetParameter(0, pi);
    EXPECT_EQ(degree.Compute(), 180.0);
    LwParserPI piFunction;
    EXPECT_EQ(piFunction.Compute(), pi);
}

TEST(LwParserFunc, ParametersStayUntilSetAgain)
{
    LwParserPOW pow;
    EXPECT_EQ(pow.Compute(), 1.0);  // both 0 at construction: 0^0
    pow.SetParameter(0, 3.0);
    pow.SetParameter(1, 2.0);
    EXPECT_EQ(pow.Compute(), 9.0);
    pow.SetParameter(1, 3.0);
    EXPECT_EQ(pow.Compute(), 27.0);
}

TEST(LwParserFunc, RandGivesIntegersOfTheCLibraryRange)
{
    LwExpressionParser parser;
    std::vector<double> draws;
    for (int i = 0; i < 200; ++i)
        draws.push_back(parser.Evaluate("rand()"));
    for (double v : draws) {
        EXPECT_EQ(v, std::floor(v));
        EXPECT_GE(v, 0.0);
        EXPECT_LE(v, static_cast<double>(RAND_MAX));
    }
    // 200 draws from 2^31 values are not all alike.
    EXPECT_NE(std::count(draws.begin(), draws.end(), draws[0]), 200);
}

TEST(LwParserFunc, ParserConstructionSeedsRandFromTheClock)
{
    // The seed is the calendar time in seconds; when the clock does not tick
    // during the construction, reseeding with that second repeats the draws.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const std::time_t before = std::time(nullptr);
        LwExpressionParser parser;
        const std::time_t after = std::time(nullptr);
        if (before != after)
            continue;
        const double first = parser.Evaluate("rand()");
        const double second = parser.Evaluate("rand()");
        std::srand(static_cast<unsigned>(before));
        EXPECT_EQ(first, static_cast<double>(std::rand()));
        EXPECT_EQ(second, static_cast<double>(std::rand()));
        return;
    }
    GTEST_SKIP() << "the clock ticked during every construction";
}

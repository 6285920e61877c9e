#include "core/LwError.h"
#include "core/LwExpressionParser.h"
#include "ReferenceConstants.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

// "字句解析エラー。" in Shift-JIS, spelled out byte by byte.
const char kLexicalError[] = "\x8E\x9A\x8B\xE5\x89\xF0\x90\xCD\x83\x47\x83\x89\x81\x5B\x81\x42";

// The text of whatever the evaluation throws ("" when it throws nothing).
std::string ErrorOf(LwExpressionParser& parser, const std::string& text)
{
    try {
        parser.Evaluate(text);
    } catch (const LwError& e) {
        return e.Message();
    } catch (const char* e) {
        return std::string("bare:") + e;
    }
    return "";
}

std::string Repeat(const std::string& s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

}  // namespace

TEST(LwExpressionParser, AgreesWithPythonOnTheExpressionTable)
{
    // data/parser_tables.py: the structure of every expression comes from
    // Python's parser, the values from Python floats with C's integer "%".
    std::ifstream in(LW_TEST_DATA_DIR "/expression_table.txt");
    ASSERT_TRUE(in.good());
    LwExpressionParser parser;
    std::string line;
    int rows = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        SCOPED_TRACE(line);
        const std::size_t s1 = line.find(' ');
        const std::size_t s2 = line.find(' ', s1 + 1);
        ASSERT_NE(s2, std::string::npos);
        const double expected = std::strtod(line.c_str(), nullptr);
        const double tolerance = std::strtod(line.c_str() + s1 + 1, nullptr);
        const std::string expression = line.substr(s2 + 1);
        EXPECT_NEAR(parser.Evaluate(expression), expected, tolerance);
        ++rows;
    }
    EXPECT_GT(rows, 400);
}

TEST(LwExpressionParser, ExamplesOfTheGrammar)
{
    const struct
    {
        const char* text;
        double value;
    } rows[] = {
        {"1/2", 0.5},
        {"2*3+4", 10},
        {"2+3*4", 14},
        {"8/2/2", 2},
        {"2*-3", -6},
        {"-2*3", -6},
        {"7%3", 1},
        {"-7%3", -1},
        {"7.9%3.2", 1},
        {"", 0},
        {"  \t ", 0},  // the value stack's starting 0
        {"x", 0},
        {"y2", 0},
        {"abc", 0},
        {"z_9", 0},
        {"max(1,2)", 2},
        {"sin()", 0},
        {"pi()", Reference::Pi},
        {"max(,)", 0},
        {"sin (0)", 0},
        {"sin (0.5)", 0.5},  // the variable "sin", then (0.5)
        {"1+2)", 3},
        {"1,2", 1},  // the expression ends there
        {".5", 0.5},
        {"1.", 1},
        // Doubled signs: each sign applies to what follows it.
        {"--3", 3},
        {"1+--3", 4},
        {"---3", -3},
        {"-+-3", 3},
        {"2*--3", 6},
        {"2- -3", 5},
        {"- - -(1+1)", -2},
        // Calls inside calls of the same function keep their own arguments.
        {"pow(2,pow(3,1))", 8},
        {"max(1,max(2,3))", 3},
        {"max(max(1,2),0)", 2},
        {"-2147483648%3", -2},
        {"2147483647%2", 1},
        {"-2147483648%2147483647", -1},
    };
    LwExpressionParser parser;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(parser.Evaluate(r.text), r.value);
    }
}

TEST(LwExpressionParser, EveryErrorText)
{
    const struct
    {
        const char* text;
        std::string error;
    } rows[] = {
        {"3#", std::string("bare:") + kLexicalError},
        {"X", "undefined parameter"},
        {"_a+1", "undefined parameter"},
        {"*", "error:a parameter for the oeprand:*"},
        {"(/)", "error:a parameter for the oeprand:/"},
        {"%", "error:a parameter for the oeprand:%"},
        {"1/0", "error: Divide by 0."},
        {"5%0.5", "error: Divide by 0."},
        {"1/(2-2)", "error: Divide by 0."},
        {"(1+2", "error: right bracker ')' is required."},
        {"(1,2)", "error: right bracker ')' is required."},
        {"max((1,2),3)", "error: right bracker ')' is required."},
        {"max(1,2,3)", "error: bad function parameter:max"},
        {"sin(1", "error: bad function parameter:sin"},
        {"pi(1)", "error: bad function parameter:pi"},
        {"SIN(0)", "error:unknown function:SIN"},
        {"foo(1)", "error:unknown function:foo"},
        {"max(1)", "error: More parameter is required."},
        {"pow()", "error: More parameter is required."},
        {"ln(0)", "ln(x): bad parameter x<=0"},
        {"2*ln(-1)", "ln(x): bad parameter x<=0"},
        {"log10(-1)", "log10(x): bad parameter x<=0"},
    };
    LwExpressionParser parser;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(ErrorOf(parser, r.text), r.error);
    }
}

TEST(LwExpressionParser, ParserStaysUsableAfterAnError)
{
    LwExpressionParser parser;
    EXPECT_NE(ErrorOf(parser, "max(1,(2"), "");
    EXPECT_EQ(parser.Evaluate("1+1"), 2.0);
    EXPECT_NE(ErrorOf(parser, "3#"), "");
    EXPECT_EQ(parser.Evaluate("2*3"), 6.0);
    // An error deep inside nested calls leaves no call depth behind.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(ErrorOf(parser, Repeat("fabs(", 200) + "ln(0)" + Repeat(")", 200)),
                  "ln(x): bad parameter x<=0");
    const int depth = LwExpressionParser::MaxCallDepth;
    EXPECT_EQ(parser.Evaluate(Repeat("fabs(", depth) + "-2" + Repeat(")", depth)), 2.0);
}

TEST(LwExpressionParser, RemainderOperandsOutsideThe32BitRange)
{
    // "%" works on the operands truncated to 32-bit integers; operands with
    // no such integer, and the one quotient that overflows, are errors.
    const std::string range = "error: operand of % is out of the 32-bit integer range.";
    const struct
    {
        const char* text;
        std::string error;
    } rows[] = {
        {"2147483648%3", range},   {"-2147483649%3", range}, {"3%2147483648", range},
        {"1e300%7", range},        {"sqrt(-1)%2", range},  // NaN
        {"5%sqrt(-1)", range},     {"exp(1000)%2", range},  // infinity
        {"-2147483648%-1", range},  // the quotient 2^31 overflows
        {"2147483647.9%2", ""},  // truncates into range
        {"-2147483648.9%5", ""},
    };
    LwExpressionParser parser;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(ErrorOf(parser, r.text), r.error);
    }
    EXPECT_EQ(parser.Evaluate("2147483647.9%2"), 1.0);
    EXPECT_EQ(parser.Evaluate("-2147483648.9%5"), -3.0);
}

TEST(LwExpressionParser, HugeNumbersAndExponents)
{
    LwExpressionParser parser;
    EXPECT_EQ(ErrorOf(parser, "1e99999999999999999999"),
              "error: number is out of range:1e99999999999999999999");
    EXPECT_EQ(ErrorOf(parser, "2*1e400"), "error: number is out of range:1e400");
    EXPECT_EQ(parser.Evaluate("1e-99999999999999999999"), 0.0);
    EXPECT_EQ(parser.Evaluate("0e99999999999999999999"), 0.0);
    // Function values follow <cmath>, infinities included.
    EXPECT_EQ(parser.Evaluate("pow(10,400)"), HUGE_VAL);
    EXPECT_EQ(parser.Evaluate("-exp(1000)"), -HUGE_VAL);
}

TEST(LwExpressionParser, DeepNesting)
{
    LwExpressionParser parser;
    const int depth = LwExpressionParser::MaxCallDepth;
    EXPECT_EQ(parser.Evaluate(Repeat("fabs(", depth) + "-2" + Repeat(")", depth)), 2.0);
    EXPECT_EQ(ErrorOf(parser, Repeat("fabs(", depth + 1) + "1" + Repeat(")", depth + 1)),
              "error: function calls are nested too deeply.");
    EXPECT_EQ(ErrorOf(parser, Repeat("sin(", 100000)), "error: function calls are nested too deeply.");

    // Parentheses and signs live on the operator stack, not the call stack.
    const int n = 200000;
    EXPECT_EQ(parser.Evaluate(Repeat("(", n) + "1+2" + Repeat(")", n)), 3.0);
    EXPECT_EQ(ErrorOf(parser, Repeat("(", n)), "error: right bracker ')' is required.");
    EXPECT_EQ(parser.Evaluate(Repeat("-", n) + "3"), 3.0);
    EXPECT_EQ(parser.Evaluate(Repeat("-", n + 1) + "3"), -3.0);
    EXPECT_EQ(parser.Evaluate("1" + Repeat("+1", n)), n + 1.0);
}

TEST(LwExpressionParser, EvaluateTokensStopsAtTheTokenThatEndsTheExpression)
{
    // Evaluate leaves the current index at the "," or ")" that ended the
    // expression; the rest of the text is not looked at, even when it would
    // not parse.
    LwExpressionParser parser;
    EXPECT_EQ(parser.Evaluate("4,(((("), 4.0);
    EXPECT_EQ(parser.Evaluate("5)*foo(1"), 5.0);
}

TEST(LwExpressionParser, RandomTextsEndInAValueOrAnErrorOfTheParser)
{
    // Texts drawn from the characters of the grammar (and a few others):
    // every one gives a value, an LwError or the bare lexical-error text,
    // never another exception or a crash.
    const std::string alphabet = "0123456789.eE+-*/%(),  \txyzXsinmaxpowl_#";
    LwExpressionParser parser;
    unsigned state = 12345;  // own generator: the parser reseeds rand()
    auto next = [&state]() {
        state = state * 1103515245u + 12345u;
        return state >> 16;
    };
    int values = 0, errors = 0;
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        const unsigned length = next() % 24;
        for (unsigned k = 0; k < length; ++k)
            text += alphabet[next() % alphabet.size()];
        try {
            parser.Evaluate(text);
            ++values;
        } catch (const LwError&) {
            ++errors;
        } catch (const char* e) {
            ASSERT_STREQ(e, kLexicalError) << text;
            ++errors;
        } catch (...) {
            FAIL() << "unexpected exception for " << text;
        }
    }
    EXPECT_GT(values, 0);
    EXPECT_GT(errors, 0);
}

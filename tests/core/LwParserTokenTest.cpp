#include "core/LwError.h"
#include "core/LwParserToken.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

// "字句解析エラー。" in Shift-JIS, spelled out byte by byte.
const char kLexicalError[] = "\x8E\x9A\x8B\xE5\x89\xF0\x90\xCD\x83\x47\x83\x89\x81\x5B\x81\x42";

std::vector<LwParserToken> TokensOf(const std::string& text)
{
    LwParserTokenList list;
    list.Tokenize(text);
    std::vector<LwParserToken> tokens;
    for (LwLong i = 0; list.GetToken(i).kind != LwParserToken::None; ++i)
        tokens.push_back(list.GetToken(i));
    return tokens;
}

std::string KindsOf(const std::string& text)
{
    std::string kinds;
    for (const auto& t : TokensOf(text))
        kinds += (kinds.empty() ? "" : " ") + std::to_string(t.kind);
    return kinds;
}

}  // namespace

TEST(LwParserTokenList, KindsAndTextsOfAMixedExpression)
{
    const auto tokens = TokensOf("sin(x_1)+2.5*-Y2 ,max\t(3)%7");
    const struct
    {
        LwLong kind;
        const char* text;
        double number;
    } expected[] = {
        {LwParserToken::Identifier, "sin", 0},
        {LwParserToken::LeftBracket, "(", 0},
        {LwParserToken::Parameter, "x_1", 0},
        {LwParserToken::RightBracket, ")", 0},
        {LwParserToken::Plus, "+", 0},
        {LwParserToken::Constant, "2.5", 2.5},
        {LwParserToken::Multiply, "*", 0},
        {LwParserToken::UnaryMinus, "unary -", 0},
        {LwParserToken::Parameter, "Y2", 0},
        {LwParserToken::Comma, ",", 0},
        // A blank between a name and "(" makes the name a variable.
        {LwParserToken::Parameter, "max", 0},
        {LwParserToken::LeftBracket, "(", 0},
        {LwParserToken::Constant, "3", 3},
        {LwParserToken::RightBracket, ")", 0},
        {LwParserToken::Modulo, "%", 0},
        {LwParserToken::Constant, "7", 7},
    };
    ASSERT_EQ(tokens.size(), std::size(expected));
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(tokens[i].kind, expected[i].kind);
        EXPECT_EQ(tokens[i].GetText(), expected[i].text);
        EXPECT_EQ(tokens[i].number, expected[i].number);
    }
}

TEST(LwParserTokenList, SignIsBinaryOnlyAfterAnOperand)
{
    const struct
    {
        const char* text;
        const char* kinds;
    } rows[] = {
        {"-1", "14 1"},  // start of the text
        {"+1", "13 1"},
        {"1-1", "1 10 1"},  // after a constant
        {"a+1", "2 9 1"},  // after a variable
        {"(1)-1", "4 1 5 10 1"},  // after ")"
        {"1--1", "1 10 14 1"},  // after a binary operator
        {"(-1", "4 14 1"},  // after "("
        {"f(1,-1)", "0 4 1 11 14 1 5"},  // after ","
        {"1*+1", "1 6 13 1"},
        {"--1", "14 14 1"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(KindsOf(r.text), r.kinds);
    }
    EXPECT_EQ(TokensOf("+2")[0].GetText(), "unary +");
}

TEST(LwParserTokenList, NumbersAreAccumulatedDigitByDigit)
{
    // Fraction digits add digit * 0.1, digit * 0.01, ... to the integer part
    // and an exponent multiplies by pow(10, e); the reference values below
    // repeat that arithmetic, which is not always the nearest double (0.3).
    const struct
    {
        const char* text;
        double value;
    } rows[] = {
        {"0.1", 1 * 0.1},
        {"0.3", 3 * 0.1},
        {"1.23", (1.0 + 2 * 0.1) + 3 * (0.1 / 10)},
        {"2.5e-3", 2.5 * std::pow(10.0, -3)},
        {"12E+2", 12 * std::pow(10.0, 2)},
        {"1e+-2", 1 * std::pow(10.0, -2)},  // one "+" then one "-"
        {".5", 0.5},
        {"1.", 1.0},
        {"7e", 7.0},  // no exponent digits: 10^0
        {"0e99999999999999999999", 0.0},  // zero mantissa, any exponent
        {"1e-99999999999999999999", 0.0},  // underflow rounds to 0
        {"00012", 12.0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        const auto tokens = TokensOf(r.text);
        ASSERT_EQ(tokens.size(), 1u);
        EXPECT_EQ(tokens[0].kind, LwParserToken::Constant);
        EXPECT_EQ(tokens[0].number, r.value);
        EXPECT_EQ(tokens[0].GetText(), r.text);
    }
    EXPECT_NE(TokensOf("0.3")[0].number, 0.3);
}

TEST(LwParserTokenList, NumbersBeyondADoubleAreRejected)
{
    const std::string rows[] = {"1e309", "1e99999999999999999999", "2.5E400", std::string(400, '9')};
    for (const auto& text : rows) {
        SCOPED_TRACE(text.substr(0, 30));
        try {
            TokensOf(text);
            ADD_FAILURE() << "no error";
        } catch (const LwError& e) {
            EXPECT_EQ(e.Message(), "error: number is out of range:" + text);
        }
    }
    EXPECT_EQ(TokensOf("1e308")[0].number, 1e308);
}

TEST(LwParserTokenList, PointAndExponentLettersOutsideNumbers)
{
    // "." without a digit after it starts no token; "e" after a number is
    // its exponent, so "2exp" is the number "2e" and the variable "xp".
    EXPECT_EQ(KindsOf("2exp"), "1 2");
    EXPECT_EQ(TokensOf("2exp")[0].GetText(), "2e");
    EXPECT_EQ(KindsOf("1.5.5"), "1 1");
    EXPECT_EQ(KindsOf("_"), "2");
}

TEST(LwParserTokenList, CharacterThatStartsNoTokenThrowsTheBareText)
{
    const std::string rows[] = {"3#", "1 . 2", "a=1", "\xE3\x81\x82", "1\r", "[1]"};
    for (const auto& text : rows) {
        SCOPED_TRACE(text);
        try {
            TokensOf(text);
            ADD_FAILURE() << "no error";
        } catch (const char* e) {
            EXPECT_STREQ(e, kLexicalError);
        }
    }
    EXPECT_STREQ(LwParserTokenList::LexicalErrorText, kLexicalError);
}

TEST(LwParserTokenList, BlanksAndTheEndOfText)
{
    EXPECT_EQ(KindsOf(""), "");
    EXPECT_EQ(KindsOf(" \t "), "");
    EXPECT_EQ(KindsOf(" 1 \t+\t2 "), "1 9 1");
    // Scanning stops at the first NUL.
    EXPECT_EQ(KindsOf(std::string("1+2\0#", 5)), "1 9 1");
}

TEST(LwParserTokenList, IndicesOutsideTheListReadTheEndToken)
{
    LwParserTokenList list;
    list.Tokenize("1+2");
    for (LwLong i : {-1, 3, 4, 1000}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(&list.GetToken(i), &LwParserToken::EndToken());
    }
    EXPECT_EQ(LwParserToken::EndToken().kind, LwParserToken::None);
    EXPECT_EQ(LwParserToken::EndToken().GetText(), "");
    EXPECT_EQ(LwParserToken::BottomToken().kind, LwParserToken::Dummy);
    EXPECT_EQ(LwParserToken::BottomToken().GetText(), "DUMMY");

    // A new text replaces the old tokens.
    list.Tokenize("7");
    EXPECT_EQ(list.GetToken(0).number, 7.0);
    EXPECT_EQ(list.GetToken(1).kind, LwParserToken::None);
}

namespace {

// A list whose name of the "*" kind has been blanked.
class BlankedNameList : public LwParserTokenList
{
public:
    BlankedNameList() { kindNames_[LwParserToken::Multiply].clear(); }
};

}  // namespace

TEST(LwParserTokenList, EmptyOperatorNameThrowsErr)
{
    BlankedNameList list;
    list.Tokenize("(1)");  // "(" and ")" are matched before the blank name
    try {
        list.Tokenize("1+2");
        ADD_FAILURE() << "no error";
    } catch (const LwError& e) {
        EXPECT_EQ(e.Message(), "Err");
    }
}

#include "core/LwParserToken.h"

#include "core/LwError.h"

#include <cmath>
#include <limits>

const char* const LwParserTokenList::LexicalErrorText =
    "\x8E\x9A\x8B\xE5\x89\xF0\x90\xCD\x83\x47\x83\x89\x81\x5B\x81\x42";

namespace {

// Character classes of the classic "C" locale, written out so that bytes
// above 0x7F (negative chars) and the current locale play no part.
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}
bool IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

// Decimal exponents beyond this magnitude give 0 or infinity in any
// floating type; reading stops growing the exponent there so that a long
// run of exponent digits cannot overflow the integer.
constexpr LwLong kExponentCap = 100000;

}  // namespace

const LwParserToken& LwParserToken::EndToken()
{
    static const LwParserToken token(None, 0.0, "");
    return token;
}

const LwParserToken& LwParserToken::BottomToken()
{
    static const LwParserToken token(Dummy, 0.0, "DUMMY");
    return token;
}

LwParserTokenList::LwParserTokenList()
    : kindNames_{"identifer",
                 "constant",
                 "Parameter",
                 "OPERATOR_BEGIN",
                 "(",
                 ")",
                 "*",
                 "/",
                 "%",
                 "+",
                 "-",
                 ",",
                 "dummy operator",
                 "unary +",
                 "unary -",
                 "OPERATOR_END",
                 "NONE"}
{}

void LwParserTokenList::Tokenize(const std::string& text)
{
    // The scan position is a 32-bit index; two places are taken by the NULs.
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<LwLong>::max() - 2))
        throw LwError("error: expression is too long.");
    text_ = text;
    text_.append(2, '\0');  // a scanner may always look one character ahead
    tokens_.clear();
    position_ = 0;

    while (text_[position_] != '\0') {
        if (ScanIdentifier() || ScanNumber() || ScanOperator())
            continue;
        const char c = text_[position_];
        if (c != ' ' && c != '\t')
            throw LexicalErrorText;
        ++position_;
    }
}

const LwParserToken& LwParserTokenList::GetToken(LwLong index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= tokens_.size())
        return LwParserToken::EndToken();
    return tokens_[static_cast<std::size_t>(index)];
}

void LwParserTokenList::Add(LwLong kind, double number, std::string text)
{
    tokens_.emplace_back(kind, number, std::move(text));
}

bool LwParserTokenList::ScanIdentifier()
{
    const LwLong begin = position_;
    if (!IsLetter(text_[position_]))
        return false;
    ++position_;
    while (IsLetter(text_[position_]) || IsDigit(text_[position_]))
        ++position_;
    // No blank is skipped: "sin (0)" is the variable "sin" and then "(0)".
    const LwLong kind = text_[position_] == '(' ? LwParserToken::Identifier : LwParserToken::Parameter;
    Add(kind, 0.0, text_.substr(begin, position_ - begin));
    return true;
}

bool LwParserTokenList::ScanNumber()
{
    const LwLong begin = position_;
    if (!IsDigit(text_[position_]) && !(text_[position_] == '.' && IsDigit(text_[position_ + 1])))
        return false;

    // Digits are accumulated one by one (the fraction as digit * 0.1, digit *
    // 0.01, ...), so "0.1" is exactly 1 * 0.1 and "2.5e-3" is
    // 2.5 * pow(10, -3).
    double value = 0.0;
    while (IsDigit(text_[position_]))
        value = value * 10.0 + (text_[position_++] - '0');
    if (text_[position_] == '.') {
        ++position_;
        double f = 0.1;
        while (IsDigit(text_[position_])) {
            value += (text_[position_++] - '0') * f;
            f /= 10.0;
        }
    }
    if (text_[position_] == 'E' || text_[position_] == 'e') {
        ++position_;
        if (text_[position_] == '+')
            ++position_;
        bool negative = false;
        if (text_[position_] == '-') {
            ++position_;
            negative = true;
        }
        LwLong exponent = 0;
        while (IsDigit(text_[position_])) {
            if (exponent < kExponentCap)
                exponent = exponent * 10 + (text_[position_] - '0');
            ++position_;
        }
        // A zero mantissa stays 0 whatever the exponent (0 * infinity would
        // be NaN).
        if (value != 0.0)
            value *= std::pow(10.0, negative ? -exponent : exponent);
    }

    std::string scanned = text_.substr(begin, position_ - begin);
    // Too many digits or too large an exponent: the value is no double.
    // Underflow towards 0 is kept, as it is a rounding of the true value.
    if (!std::isfinite(value))
        throw LwError("error: number is out of range:" + scanned);
    Add(LwParserToken::Constant, value, std::move(scanned));
    return true;
}

bool LwParserTokenList::ScanOperator()
{
    for (LwLong kind = LwParserToken::LeftBracket; kind <= LwParserToken::Comma; ++kind) {
        const std::string& name = kindNames_[kind];
        if (name.empty())
            throw LwError("Err");
        if (text_.compare(position_, name.size(), name) != 0)
            continue;

        LwLong made = kind;
        if (kind == LwParserToken::Plus || kind == LwParserToken::Minus) {
            // A sign is binary only after something that ends an operand.
            const LwLong before = tokens_.empty() ? LwParserToken::None : tokens_.back().kind;
            const bool binary = before == LwParserToken::Constant || before == LwParserToken::Parameter ||
                                before == LwParserToken::RightBracket;
            if (!binary)
                made = kind == LwParserToken::Plus ? LwParserToken::UnaryPlus : LwParserToken::UnaryMinus;
        }
        Add(made, 0.0, kindNames_[made]);
        position_ += static_cast<LwLong>(name.size());
        return true;
    }
    return false;
}

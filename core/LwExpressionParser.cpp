#include "core/LwExpressionParser.h"

#include "core/LwError.h"

#include <cassert>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

using Token = LwParserToken;

// A `%` operand as a 32-bit integer, truncated toward zero. Values whose
// integer part does not fit (and NaN or infinity) have no such integer.
LwLong TruncateToLong(double v)
{
    const double t = std::trunc(v);
    if (!(t >= -2147483648.0 && t <= 2147483647.0))
        throw LwError("error: operand of % is out of the 32-bit integer range.");
    return static_cast<LwLong>(t);
}

// Counts the nesting of function calls for the lifetime of one call.
class CallDepthGuard
{
public:
    explicit CallDepthGuard(LwLong& depth) : depth_(depth)
    {
        if (depth_ >= LwExpressionParser::MaxCallDepth)
            throw LwError("error: function calls are nested too deeply.");
        ++depth_;
    }
    ~CallDepthGuard() { --depth_; }
    CallDepthGuard(const CallDepthGuard&) = delete;
    CallDepthGuard& operator=(const CallDepthGuard&) = delete;

private:
    LwLong& depth_;
};

}  // namespace

LwExpressionParser::LwExpressionParser() : tokens_(std::make_unique<LwParserTokenList>())
{
    std::srand(static_cast<unsigned>(std::time(nullptr)));

    std::unique_ptr<LwParserFuncBase> functions[] = {
        std::make_unique<LwParserPOW>(),    std::make_unique<LwParserFABS>(),
        std::make_unique<LwParserRAND>(),   std::make_unique<LwParserSQRT>(),
        std::make_unique<LwParserMAX>(),    std::make_unique<LwParserMIN>(),
        std::make_unique<LwParserSIN>(),    std::make_unique<LwParserCOS>(),
        std::make_unique<LwParserTAN>(),    std::make_unique<LwParserPI>(),
        std::make_unique<LwParserEXP>(),    std::make_unique<LwParserLN>(),
        std::make_unique<LwParserLOG10>(),  std::make_unique<LwParserACOS>(),
        std::make_unique<LwParserASIN>(),   std::make_unique<LwParserATAN>(),
        std::make_unique<LwParserATAN2>(),  std::make_unique<LwParserSINH>(),
        std::make_unique<LwParserCOSH>(),   std::make_unique<LwParserTANH>(),
        std::make_unique<LwParserRADIAN>(), std::make_unique<LwParserDEGREE>(),
        std::make_unique<LwParserSTEP>(),
    };
    for (auto& f : functions) {
        std::string name = f->GetName();
        functions_.emplace(std::move(name), std::move(f));  // a present name is kept
    }
}

LwExpressionParser::~LwExpressionParser() = default;

double LwExpressionParser::Evaluate(const std::string& text)
{
    tokens_->Tokenize(text);
    current_ = 0;
    callDepth_ = 0;
    return EvaluateTokens();
}

double LwExpressionParser::EvaluateTokens()
{
    std::vector<double> values{0.0};  // the empty expression is 0
    std::vector<const Token*> operators{&Token::BottomToken()};

    for (;;) {
        const Token& token = tokens_->GetToken(current_++);
        switch (token.kind) {
        case Token::Identifier:
            --current_;
            values.push_back(CallFunction());
            continue;
        case Token::Constant: values.push_back(token.number); continue;
        case Token::Parameter: {
            const char c = token.text.empty() ? '\0' : token.text[0];
            if (c < 'a' || c > 'z')
                throw LwError("undefined parameter");
            values.push_back(variables_[c - 'a']);
            continue;
        }
        default: break;
        }

        // An operator, "," or the end: apply the stacked operators that bind
        // tighter than it.
        const bool isOperator = token.kind > Token::OperatorBegin && token.kind < Token::OperatorEnd;
        const LwLong incoming = isOperator ? IncomingPriority[token.kind] : 0;
        while (StackPriority[operators.back()->kind] > incoming) {
            const Token& op = *operators.back();
            operators.pop_back();
            if (values.size() < static_cast<std::size_t>(OperandCount[op.kind])) {
                --current_;
                throw LwError("error:a parameter for the oeprand:" + op.text);
            }
            Apply(op, values);
        }

        const Token& top = *operators.back();
        if (StackPriority[top.kind] < incoming) {
            operators.push_back(&token);
            continue;
        }
        if (top.kind == Token::LeftBracket) {
            if (token.kind == Token::RightBracket) {
                operators.pop_back();
                continue;
            }
            --current_;
            throw LwError("error: right bracker ')' is required.");
        }
        // The tables leave only the bottom of the stack here: the expression
        // has ended, and the token that ended it stays the current one.
        assert(top.kind == Token::Dummy);
        --current_;
        return values.back();
    }
}

void LwExpressionParser::Apply(const Token& op, std::vector<double>& values)
{
    if (OperandCount[op.kind] == 1) {
        if (op.kind == Token::UnaryMinus)
            values.back() = -values.back();
        return;
    }

    const double b = values.back();
    values.pop_back();
    double& a = values.back();  // replaced by the result
    switch (op.kind) {
    case Token::Multiply: a = a * b; break;
    case Token::Divide:
        if (b == 0.0)
            throw LwError("error: Divide by 0.");
        a = a / b;
        break;
    case Token::Modulo: {
        const LwLong ib = TruncateToLong(b);
        if (ib == 0)
            throw LwError("error: Divide by 0.");
        const LwLong ia = TruncateToLong(a);
        // The quotient of the smallest 32-bit integer by -1 does not fit in
        // 32 bits; the hardware division traps on it.
        if (ia == INT32_MIN && ib == -1)
            throw LwError("error: operand of % is out of the 32-bit integer range.");
        a = static_cast<double>(ia % ib);
        break;
    }
    case Token::Plus: a = a + b; break;
    case Token::Minus: a = a - b; break;
    default: assert(false && "not a binary operator");
    }
}

double LwExpressionParser::CallFunction()
{
    const Token& name = tokens_->GetToken(current_++);
    const std::string malformed = "error: bad function parameter:" + name.text;
    if (tokens_->GetToken(current_++).kind != Token::LeftBracket)
        throw LwError(malformed);
    const auto found = functions_.find(name.text);
    if (found == functions_.end())
        throw LwError("error:unknown function:" + name.text);
    LwParserFuncBase& function = *found->second;

    // All arguments are evaluated before the first is handed over: an
    // argument may call the same function object ("pow(2,pow(3,1))"), which
    // would otherwise overwrite the parameters already set.
    const CallDepthGuard guard(callDepth_);
    const LwLong count = function.GetParameterCount();
    double arguments[2] = {0.0, 0.0};
    assert(count >= 0 && count <= 2);
    for (LwLong i = 0; i < count; ++i) {
        if (i > 0 && tokens_->GetToken(current_++).kind != Token::Comma)
            throw LwError("error: More parameter is required.");
        arguments[i] = EvaluateTokens();
    }
    for (LwLong i = 0; i < count; ++i)
        function.SetParameter(i, arguments[i]);
    const double value = function.Compute();

    if (tokens_->GetToken(current_++).kind != Token::RightBracket)
        throw LwError(malformed);
    return value;
}

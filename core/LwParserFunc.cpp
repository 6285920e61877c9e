#include "core/LwParserFunc.h"

#include "core/LwConstants.h"
#include "core/LwError.h"

#include <cmath>
#include <cstdlib>

namespace {

[[noreturn]] void ThrowTooMany()
{
    throw LwError("error: Parameter is too many.");
}

}  // namespace

void LwParserFunc0::SetParameter(LwLong, double)
{
    ThrowTooMany();
}

void LwParserFunc1::SetParameter(LwLong index, double value)
{
    if (index != 0)
        ThrowTooMany();
    x = value;
}

void LwParserFunc2::SetParameter(LwLong index, double value)
{
    if (index == 0)
        x = value;
    else if (index == 1)
        y = value;
    else
        ThrowTooMany();
}

// Name and help text of each function, as the parser files and shows them.
#define LW_NAME_HELP(Class, name, help)                                                                      \
    std::string Class::GetName() const                                                                       \
    {                                                                                                        \
        return name;                                                                                         \
    }                                                                                                        \
    std::string Class::GetHelp() const                                                                       \
    {                                                                                                        \
        return help;                                                                                         \
    }

LW_NAME_HELP(LwParserPOW, "pow", "pow(x,y): return x^y")
LW_NAME_HELP(LwParserFABS, "fabs", "fabs(x): absolute value")
LW_NAME_HELP(LwParserRAND, "rand", "rand(): random value")
LW_NAME_HELP(LwParserSQRT, "sqrt", "sqrt(x): square root")
LW_NAME_HELP(LwParserMAX, "max", "max(x,y):return maximum value in x and y")
LW_NAME_HELP(LwParserMIN, "min", "min(x,y): return minimum value in x and y")
LW_NAME_HELP(LwParserSIN, "sin", "sin(x_rad)")
LW_NAME_HELP(LwParserCOS, "cos", "cos(x_rad)")
LW_NAME_HELP(LwParserTAN, "tan", "tan(x_rad)")
LW_NAME_HELP(LwParserPI, "pi", "pi():return PI")
LW_NAME_HELP(LwParserEXP, "exp", "exp(x)")
LW_NAME_HELP(LwParserLN, "ln", "ln(x): x>0")
LW_NAME_HELP(LwParserLOG10, "log10", "log10(x): x>0")
LW_NAME_HELP(LwParserACOS, "acos", "acos(x): -1<=x<=1")
LW_NAME_HELP(LwParserASIN, "asin", "asin(x): -1<=x<=1")
LW_NAME_HELP(LwParserATAN, "atan", "atan(x)")
LW_NAME_HELP(LwParserATAN2, "atan2", "atan2(y,x)")
LW_NAME_HELP(LwParserSINH, "sinh", "sinh(x)")
LW_NAME_HELP(LwParserCOSH, "cosh", "cosh(x)")
LW_NAME_HELP(LwParserTANH, "tanh", "tanh(x)")
LW_NAME_HELP(LwParserRADIAN, "radian", "radian(x_degree)")
LW_NAME_HELP(LwParserDEGREE, "degree", "degree(x_radian)")
LW_NAME_HELP(LwParserSTEP, "step", "step(x): return 0(x<0), 1(x>=0)")

#undef LW_NAME_HELP

double LwParserPOW::Compute() const
{
    return std::pow(x, y);
}
double LwParserFABS::Compute() const
{
    return std::fabs(x);
}
// The generator is seeded by every construction of an LwExpressionParser.
double LwParserRAND::Compute() const
{
    return static_cast<double>(std::rand());
}
double LwParserSQRT::Compute() const
{
    return std::sqrt(x);
}
double LwParserMAX::Compute() const
{
    return x > y ? x : y;
}
double LwParserMIN::Compute() const
{
    return x < y ? x : y;
}
double LwParserSIN::Compute() const
{
    return std::sin(x);
}
double LwParserCOS::Compute() const
{
    return std::cos(x);
}
double LwParserTAN::Compute() const
{
    return std::tan(x);
}
double LwParserPI::Compute() const
{
    return LwConst::Pi;
}
double LwParserEXP::Compute() const
{
    return std::exp(x);
}
double LwParserATAN::Compute() const
{
    return std::atan(x);
}
double LwParserATAN2::Compute() const
{
    return std::atan2(x, y);
}
double LwParserSINH::Compute() const
{
    return std::sinh(x);
}
double LwParserCOSH::Compute() const
{
    return std::cosh(x);
}
double LwParserTANH::Compute() const
{
    return std::tanh(x);
}
double LwParserRADIAN::Compute() const
{
    return x * LwConst::Pi / 180.0;
}
double LwParserDEGREE::Compute() const
{
    return x * 180.0 / LwConst::Pi;
}
double LwParserSTEP::Compute() const
{
    return x < 0.0 ? 0.0 : 1.0;
}

double LwParserLN::Compute() const
{
    if (x <= 0.0)
        throw LwError("ln(x): bad parameter x<=0");
    return std::log(x);
}

double LwParserLOG10::Compute() const
{
    if (x <= 0.0)
        throw LwError("log10(x): bad parameter x<=0");
    return std::log10(x);
}

// Outside [-1, 1] the value is 0 rather than NaN; NaN itself passes through.
double LwParserACOS::Compute() const
{
    return x < -1.0 || x > 1.0 ? 0.0 : std::acos(x);
}
double LwParserASIN::Compute() const
{
    return x < -1.0 || x > 1.0 ? 0.0 : std::asin(x);
}

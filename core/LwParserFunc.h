#pragma once
// The named functions that expressions of LwExpressionParser may call.
//
// One class per function, derived through a base for its number of
// parameters (LwParserFunc0, LwParserFunc1, LwParserFunc2) from
// LwParserFuncBase. The parser makes one object of each and files it under
// its GetName(); for a call it sets the parameters one by one and asks for
// Compute(). Angles are in radians.
//
// Domain rules: "ln" and "log10" of a number <= 0 throw an LwError
// ("ln(x): bad parameter x<=0", "log10(x): bad parameter x<=0"); "acos" and
// "asin" outside [-1, 1] give 0; everything else gives what <cmath> gives
// (NaN for sqrt(-1), infinity for exp(1000), ...).

#include "core/LwTypes.h"

#include <string>

class LwParserFuncBase
{
public:
    virtual ~LwParserFuncBase() = default;

    // The name under which the parser files the function.
    virtual std::string GetName() const = 0;
    // A one-line help text.
    virtual std::string GetHelp() const = 0;
    // 0, 1 or 2.
    virtual LwLong GetParameterCount() const = 0;
    // Sets parameter `index` (0 or 1); LwError "error: Parameter is too
    // many." for an index the function does not have.
    virtual void SetParameter(LwLong index, double value) = 0;
    // The value from the parameters set last.
    virtual double Compute() const = 0;
};

class LwParserFunc0 : public LwParserFuncBase
{
public:
    LwLong GetParameterCount() const override { return 0; }
    void SetParameter(LwLong index, double value) override;
};

class LwParserFunc1 : public LwParserFuncBase
{
public:
    LwLong GetParameterCount() const override { return 1; }
    void SetParameter(LwLong index, double value) override;

protected:
    double x = 0.0;
};

class LwParserFunc2 : public LwParserFuncBase
{
public:
    LwLong GetParameterCount() const override { return 2; }
    void SetParameter(LwLong index, double value) override;

protected:
    double x = 0.0;
    double y = 0.0;
};

// The functions, in the order the parser registers them. Each defines
// GetName, GetHelp and Compute (see LwParserFunc.cpp for the table of names,
// help texts and values).
#define LW_PARSER_FUNCTION(Class, Base)                                                                      \
    class Class : public Base                                                                                \
    {                                                                                                        \
    public:                                                                                                  \
        std::string GetName() const override;                                                                \
        std::string GetHelp() const override;                                                                \
        double Compute() const override;                                                                     \
    };

LW_PARSER_FUNCTION(LwParserPOW, LwParserFunc2)  // x to the power y
LW_PARSER_FUNCTION(LwParserFABS, LwParserFunc1)  // |x|
LW_PARSER_FUNCTION(LwParserRAND, LwParserFunc0)  // rand() of the C library, 0 to RAND_MAX
LW_PARSER_FUNCTION(LwParserSQRT, LwParserFunc1)
LW_PARSER_FUNCTION(LwParserMAX, LwParserFunc2)  // x when x > y, else y (so y when either is NaN)
LW_PARSER_FUNCTION(LwParserMIN, LwParserFunc2)  // x when x < y, else y (so y when either is NaN)
LW_PARSER_FUNCTION(LwParserSIN, LwParserFunc1)
LW_PARSER_FUNCTION(LwParserCOS, LwParserFunc1)
LW_PARSER_FUNCTION(LwParserTAN, LwParserFunc1)
LW_PARSER_FUNCTION(LwParserPI, LwParserFunc0)  // 3.141592653589793
LW_PARSER_FUNCTION(LwParserEXP, LwParserFunc1)
LW_PARSER_FUNCTION(LwParserLN, LwParserFunc1)  // natural logarithm, x > 0
LW_PARSER_FUNCTION(LwParserLOG10, LwParserFunc1)  // decimal logarithm, x > 0
LW_PARSER_FUNCTION(LwParserACOS, LwParserFunc1)  // 0 outside [-1, 1]
LW_PARSER_FUNCTION(LwParserASIN, LwParserFunc1)  // 0 outside [-1, 1]
LW_PARSER_FUNCTION(LwParserATAN, LwParserFunc1)
LW_PARSER_FUNCTION(LwParserATAN2, LwParserFunc2)  // atan2(y, x): first parameter y
LW_PARSER_FUNCTION(LwParserSINH, LwParserFunc1)
LW_PARSER_FUNCTION(LwParserCOSH, LwParserFunc1)
LW_PARSER_FUNCTION(LwParserTANH, LwParserFunc1)
LW_PARSER_FUNCTION(LwParserRADIAN, LwParserFunc1)  // degrees to radians
LW_PARSER_FUNCTION(LwParserDEGREE, LwParserFunc1)  // radians to degrees
LW_PARSER_FUNCTION(LwParserSTEP, LwParserFunc1)  // 0 when x < 0, else 1 (1 for NaN)

#undef LW_PARSER_FUNCTION

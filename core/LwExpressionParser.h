#pragma once
// Evaluator of arithmetic expressions in text, as used for the lattice
// vectors and atom positions of crystal cells ("1/2", "sqrt(3)/2", ...).
//
// Grammar: decimal numbers with fraction and exponent; binary "+", "-", "*",
// "/" and "%" (integer remainder of the operands truncated to 32 bits, sign of
// the dividend); unary "+" and "-"; parentheses; calls of the named functions
// of LwParserFunc.h with comma-separated arguments; one-letter variables "a"
// to "z", which all hold 0 (a longer name is read by its first letter).
// "*", "/", "%" bind tighter than "+", "-", a unary sign tighter than both,
// binary operators group from the left and unary signs from the right.
//
// An expression ends at the end of the text or at the first "," or ")"
// outside its own parentheses; what follows is not looked at ("1,2" gives 1).
// The empty text gives 0.
//
// Errors end the evaluation and leave the parser usable. LwError texts:
//   "undefined parameter"                    a variable not starting "a".."z"
//   "error:a parameter for the oeprand:" op  too few values for an operator
//   "error: Divide by 0."                    "/" by 0, "%" by |divisor| < 1
//   "error: right bracker ')' is required."  "," or the end inside "( )"
//   "error: bad function parameter:" name    a call not closed after its
//                                            last argument
//   "error:unknown function:" name           no function of that name
//   "error: More parameter is required."     too few arguments
//   "error: operand of % is out of the 32-bit integer range."
//   "error: function calls are nested too deeply."  (MaxCallDepth)
//   "error: number is out of range:" number  a constant beyond a double
//   and the domain errors of "ln" and "log10".
// A character that starts no token throws the bare string
// LwParserTokenList::LexicalErrorText instead.

#include "core/LwParserFunc.h"
#include "core/LwParserToken.h"
#include "core/LwTypes.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class LwExpressionParser
{
public:
    // Operator-precedence tables, indexed by token kind (0 for the kinds that
    // are no operators). An operator on the stack is applied while its stack
    // priority exceeds the incoming priority of the next token. A unary sign
    // on the stack has a priority above every binary operator's incoming
    // priority (it binds tighter) and below a unary sign's incoming priority
    // (so "--3" stacks both signs and gives 3).
    static constexpr LwLong StackPriority[LwParserToken::KindCount] = {0, 0, 0, 0, 0, 7, 4, 4, 4,
                                                                       2, 2, 0, 0, 5, 5, 0, 0};
    static constexpr LwLong IncomingPriority[LwParserToken::KindCount] = {0, 0, 0, 0, 8, 0, 3, 3, 3,
                                                                          1, 1, 0, 0, 6, 6, 0, 0};
    static constexpr LwLong OperandCount[LwParserToken::KindCount] = {0, 0, 0, 0, 0, 0, 2, 2, 2,
                                                                      2, 2, 0, 0, 1, 1, 0, 0};

    // Function calls may nest this deep; a deeper call throws an LwError
    // instead of exhausting the thread's stack.
    static constexpr LwLong MaxCallDepth = 256;

    // Seeds the C library's rand() (used by the function "rand") with the
    // current time in seconds; every construction seeds it again.
    LwExpressionParser();
    ~LwExpressionParser();
    LwExpressionParser(const LwExpressionParser&) = delete;
    LwExpressionParser& operator=(const LwExpressionParser&) = delete;

    // The value of `text`.
    double Evaluate(const std::string& text);

    // The value of the expression starting at the current token; leaves the
    // current index at the token that ended it.
    double EvaluateTokens();
    // The value of the function call at the current token; leaves the
    // current index after its ")".
    double CallFunction();

private:
    // Applies the operator `op` to the top of `values`.
    void Apply(const LwParserToken& op, std::vector<double>& values);

    std::unique_ptr<LwParserTokenList> tokens_;
    LwLong current_ = 0;
    std::map<std::string, std::unique_ptr<LwParserFuncBase>> functions_;
    double variables_[26] = {};  // "a" to "z"
    LwLong callDepth_ = 0;
};

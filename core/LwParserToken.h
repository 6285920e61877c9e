#pragma once
// Tokens of the expression parser and the list that the tokenizer fills.
//
// An expression text is scanned once into a list of tokens: names (function
// calls and one-letter variables), decimal constants and operators. The
// evaluator (LwExpressionParser) then walks the list by index; an index past
// either end reads the end token, so the evaluator never has to test bounds.

#include "core/LwTypes.h"

#include <string>
#include <utility>
#include <vector>

class LwParserToken
{
public:
    // Token kinds. The operator kinds lie strictly between OperatorBegin and
    // OperatorEnd; the evaluator's priority tables are indexed by kind.
    enum Kind : LwLong {
        Identifier = 0,  // a name followed at once by "(": a function call
        Constant = 1,  // a decimal number
        Parameter = 2,  // any other name: a variable
        OperatorBegin = 3,  // never made
        LeftBracket = 4,
        RightBracket = 5,
        Multiply = 6,
        Divide = 7,
        Modulo = 8,
        Plus = 9,  // binary "+"
        Minus = 10,  // binary "-"
        Comma = 11,
        Dummy = 12,  // the bottom of every operator stack
        UnaryPlus = 13,
        UnaryMinus = 14,
        OperatorEnd = 15,  // never made
        None = 16,  // read past the end of the list
        KindCount = 17
    };

    LwParserToken() = default;
    LwParserToken(LwLong kind, double number, std::string text)
        : kind(kind), number(number), text(std::move(text))
    {}

    std::string GetText() const { return text; }

    // The token read for an index outside the list: kind None, number 0,
    // empty text.
    static const LwParserToken& EndToken();
    // The bottom of the evaluator's operator stack: kind Dummy, text "DUMMY".
    static const LwParserToken& BottomToken();

    LwLong kind = None;
    double number = 0.0;  // the value of a constant, else 0
    std::string text;  // the scanned characters; an operator's kind name
};

class LwParserTokenList
{
public:
    // Thrown as a bare character string (not an LwError) for a character
    // that starts no token: "字句解析エラー。" ("lexical analysis error") in
    // the Shift-JIS encoding.
    static const char* const LexicalErrorText;

    LwParserTokenList();

    // Replaces the list by the tokens of `text`. Scanning stops at the end of
    // the text or at its first NUL character. Blanks (space, tab) separate
    // tokens. Errors: the bare LexicalErrorText; LwError for a decimal
    // constant too large for a double; LwError "Err" for an empty operator
    // name in the kind-name table.
    void Tokenize(const std::string& text);

    // The token at `index`; the end token when the index is negative or not
    // less than the number of tokens.
    const LwParserToken& GetToken(LwLong index) const;

    // Scanners at the current position: each makes at most one token, moves
    // the position past it and returns whether it made one.
    //
    // A name: a letter or "_", then letters, digits and "_". It is a function
    // call (Identifier) when "(" follows at once, else a variable (Parameter).
    bool ScanIdentifier();
    // A decimal number: digits with an optional fraction and an optional
    // exponent ("E" or "e", an optional "+", an optional "-", digits). A
    // number may start with "." when a digit follows.
    bool ScanNumber();
    // One of "(", ")", "*", "/", "%", "+", "-", ",". A sign is unary unless it
    // follows a constant, a variable or ")".
    bool ScanOperator();

protected:
    // Entry k is the name of token kind k; operator tokens carry it as their
    // text, and the operator scanner matches the names of the kinds
    // LeftBracket to Comma against the text.
    std::vector<std::string> kindNames_;

private:
    void Add(LwLong kind, double number, std::string text);

    std::vector<LwParserToken> tokens_;
    std::string text_;  // the text being scanned, with two NULs appended
    LwLong position_ = 0;  // scan position in text_
};

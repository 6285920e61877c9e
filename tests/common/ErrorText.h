#pragma once
// What a piece of test code throws, as a text, so that a table of cases
// compares messages in one expectation.

#include "core/LwError.h"

#include <functional>
#include <string>

// The message of the LwError that f throws, or "(no error)" when it throws none.
inline std::string ErrorText(const std::function<void()>& f)
{
    try {
        f();
    } catch (const LwError& e) {
        return e.Message();
    }
    return "(no error)";
}

// The bare text (const char*) that f throws, or "(no text)".
inline std::string BareTextOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const char* text) {
        return text;
    }
    return "(no text)";
}

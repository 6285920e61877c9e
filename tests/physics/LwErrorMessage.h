#pragma once
// What a call throws, as a text, so that a table of cases compares messages
// in one expectation:
//   LwErrorMessageOf  the message of an LwError, or "(no error)";
//   BareTextOf        a bare text (const char*) thrown by the wave
//                     operations, or "(no text)".
#include "LwError.h"

#include <string>

template <typename F>
std::string LwErrorMessageOf(F&& f)
{
    try {
        f();
    } catch (const LwError& e) {
        return e.Message();
    }
    return "(no error)";
}

template <typename F>
std::string BareTextOf(F&& f)
{
    try {
        f();
    } catch (const char* text) {
        return text;
    }
    return "(no text)";
}

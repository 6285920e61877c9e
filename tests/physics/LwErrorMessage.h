#pragma once
// The message of the LwError a call throws, or "(no error)" when it returns:
// lets a table of cases compare messages in one expectation.
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

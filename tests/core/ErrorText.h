#pragma once
// The message of the LwError that a piece of test code throws.

#include "LwError.h"

#include <functional>
#include <string>

// The message of the LwError that f throws, or "<no error>" when it throws none.
inline std::string ErrorText(const std::function<void()>& f)
{
    try {
        f();
    } catch (const LwError& e) {
        return e.Message();
    }
    return "<no error>";
}

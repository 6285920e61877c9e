#pragma once
// The error convention of the viewer client: an operation that wraps errors
// appends "/" and its signature text to an LwError passing through it
// (LwError::AddFunction) and turns any other exception into the LwError
// "undefined err:" followed by the signature text.

#include "core/LwError.h"

#include <string>

namespace LwPluginErrors {

// Runs `body` under the convention; its result is passed on.
template <class Body>
auto Wrap(const char* signature, Body&& body) -> decltype(body())
{
    try {
        return body();
    } catch (LwError& e) {
        e.AddFunction(signature);
        throw;
    } catch (...) {
        throw LwError(std::string("undefined err:") + signature);
    }
}

}  // namespace LwPluginErrors

#pragma once
// Helpers shared by the physics tests.

#include "LwError.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>

namespace physics_test {

// The message of the LwError that f throws; a test failure when it throws none.
inline std::string ExpectLwError(const std::function<void()>& f)
{
    try {
        f();
    } catch (const LwError& e) {
        return e.Message();
    }
    ADD_FAILURE() << "no LwError";
    return {};
}

inline std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The atomic-weight table shipped with the programs.
inline std::string ShippedAtomicWeightText()
{
    return ReadWholeFile(LW_SOURCE_DIR "/physics/data/AtomicWeight.txt");
}

} // namespace physics_test

#pragma once
// Helpers shared by the physics tests.

#include <fstream>
#include <sstream>
#include <string>

namespace physics_test {

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

}  // namespace physics_test

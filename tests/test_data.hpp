#pragma once
// The text of a file of tests/data, whose folder CMake passes as TIDAL_TEST_DATA_DIR.
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace tidal {

inline std::string test_data(const std::string& name) {
    std::ifstream in(std::string(TIDAL_TEST_DATA_DIR) + "/" + name);
    EXPECT_TRUE(in) << "cannot read tests/data/" << name;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace tidal

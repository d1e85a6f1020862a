#pragma once
// The text of a file (of tests/data, whose folder CMake passes as TIDAL_TEST_DATA_DIR, or any
// other), and the message of an exception a call must throw.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace tidal {

inline std::string file_text(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::string test_data(const std::string& name) {
    EXPECT_TRUE(std::ifstream(std::string(TIDAL_TEST_DATA_DIR) + "/" + name)) << "cannot read tests/data/" << name;
    return file_text(std::string(TIDAL_TEST_DATA_DIR) + "/" + name);
}

// What an exception of type E thrown by f() says; a test failure (and "") when f throws none.
template <class E, class F> std::string thrown(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    ADD_FAILURE() << "nothing thrown";
    return "";
}

} // namespace tidal

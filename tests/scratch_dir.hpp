#pragma once
// A fresh directory of a test's own under the system's temporary directory, made by mkdtemp
// ("NAME-XXXXXX"): two suites run at once (two builds, or one suite twice) never share one.
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace tidal::testing_scratch {

inline std::filesystem::path scratch_dir(const std::string& name) {
    std::string pattern = (std::filesystem::temp_directory_path() / (name + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a directory " + pattern);
    return pattern;
}

} // namespace tidal::testing_scratch

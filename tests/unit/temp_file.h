// Files of the native tests, one folder per test: ctest runs tests in
// parallel processes, which must not write each other's files.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace testing_support {

inline std::string temp_path(const std::string& name) {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) /
                                ("tn_" + std::to_string(::getpid()) + "_" +
                                 (test ? std::string(test->test_suite_name()) + "." + test->name() : "none"));
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

}  // namespace testing_support

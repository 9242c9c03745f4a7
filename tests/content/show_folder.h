#pragma once
// Where the generated show lives for the content tests: the build's show folder, passed in by
// CMake (the test target depends on show-data, so the files are there and up to date).

#include <string>

namespace ostravel::contenttest {

inline std::string showPath(const std::string& relative) {
    return std::string(OSTRAVEL_TEST_SHOW_DIR) + "/" + relative;
}

}  // namespace ostravel::contenttest

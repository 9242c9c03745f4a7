// The greetings list: twelve distinct short ASCII names that the outline font can print.
#include "production/greetings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace {

TEST(ShowGreetings, TwelveDistinctShortPrintableNames) {
    std::set<std::string> seen;
    for (const char* name : ostravel::kGreetings) {
        ASSERT_NE(name, nullptr);
        const size_t length = std::strlen(name);
        EXPECT_GE(length, 3u) << name;
        EXPECT_LE(length, 12u) << name << ": too long for one line of the lettering";
        for (size_t i = 0; i < length; ++i) {
            EXPECT_TRUE(name[i] >= 0x20 && name[i] < 0x7f) << name;
        }
        EXPECT_NE(name[0], ' ');
        EXPECT_NE(name[length - 1], ' ');
        seen.insert(name);
    }
    EXPECT_EQ(seen.size(), 12u);
}

}  // namespace

#include "source/temp_paths.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(TempPaths, APatternIsOnlyEverJoinedToAWholeTemporaryFolder) {
    struct Case {
        const char* folder;
        const char* expected;  // null: refused
    } cases[] = {
        {"C:\\Users\\ann\\AppData\\Local\\Temp\\", "C:\\Users\\ann\\AppData\\Local\\Temp\\*TDW*"},
        {"c:\\", "c:\\*TDW*"},
        {"\\\\server\\share\\tmp\\", "\\\\server\\share\\tmp\\*TDW*"},
        {"", nullptr},           // no temporary folder: never the current directory
        {nullptr, nullptr},
        {"Temp\\", nullptr},     // relative
        {"C:Temp\\", nullptr},   // relative to drive C's current directory
        {"C:\\Temp", nullptr},   // not ended by a backslash: C:\Temp*TDW* would match beside it
        {"\\Temp\\", nullptr},   // the current drive's root
    };
    for (const Case& c : cases) {
        char out[64] = "junk";
        const bool built = BuildTempPattern(c.folder, "*TDW*", out, sizeof(out));
        EXPECT_EQ(built, c.expected != nullptr) << (c.folder ? c.folder : "(null)");
        EXPECT_EQ(std::string(out), c.expected ? c.expected : "") << (c.folder ? c.folder : "(null)");
    }
    char small[8] = "junk";
    EXPECT_FALSE(BuildTempPattern("C:\\Temp\\", "*TDW*", small, sizeof(small)));
    EXPECT_STREQ(small, "");
}

}  // namespace

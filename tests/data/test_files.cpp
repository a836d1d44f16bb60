// test_files.cpp - the generated folder passes the game's own start-up check,
// and the generator writes the same bytes on every run.

#include <cstdlib>
#include <gtest/gtest.h>

#include "assets/data_check.h"
#include "data_readers.h"

TEST(GeneratedData, PassesTheGamesOwnCheck)
{
    EXPECT_EQ(checkDataFiles(dataFolder()), "");
}

TEST(GeneratedData, SameBytesOnEveryRun)
{
    // A folder of this run's own: two suites side by side never share it.
    std::string pattern = ::testing::TempDir() + "jewelward_gendata_again_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const std::string again = pattern;
    ASSERT_EQ(std::system(("'" + std::string(GENDATA_PROGRAM) + "' '" + again + "'").c_str()), 0);
    for (int i = 0; i < dataFileRuleCount; ++i) {
        const std::string name = dataFileRules[i].name;
        const std::vector<unsigned char> first = readBytes(dataFolder() + "/" + name);
        const std::vector<unsigned char> second = readBytes(again + "/" + name);
        EXPECT_FALSE(first.empty()) << name;
        EXPECT_TRUE(first == second) << name << " differs between two runs";
    }
    std::system(("rm -rf '" + again + "'").c_str());
}

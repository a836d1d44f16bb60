// test_files.cpp - the generated folder passes the game's own start-up check,
// and the generator writes the same bytes on every run.

#include <cstdlib>
#include <gtest/gtest.h>

#include "data_readers.h"
#include "game/data_check.h"

TEST(GeneratedData, PassesTheGamesOwnCheck)
{
    EXPECT_EQ(checkDataFiles(dataFolder()), "");
}

TEST(GeneratedData, SameBytesOnEveryRun)
{
    const std::string again = ::testing::TempDir() + "jewelward_gendata_again";
    ASSERT_EQ(std::system(("rm -rf '" + again + "' && mkdir -p '" + again + "'").c_str()), 0);
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

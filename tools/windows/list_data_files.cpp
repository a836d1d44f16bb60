// list_data_files.cpp - prints the name of every data file the game checks at
// start-up, one a line, so that the Windows zip carries exactly those.
#include <cstdio>

#include "assets/data_check.h"

int main()
{
    for (int i = 0; i < dataFileRuleCount; ++i)
        std::printf("%s\n", dataFileRules[i].name);
    return 0;
}

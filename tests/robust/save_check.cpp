// save_check.cpp - tells whether a file is a save the game reads back:
// exit 0 and the fifteen values on one line, or exit 1.
//
//   robust_save_check FILE

#include <cstdio>
#include <fstream>
#include <sstream>

#include "persist/save_text.h"

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    std::ifstream in(argv[1], std::ios::binary);
    if (!in)
        return 1;
    std::ostringstream all;
    all << in.rdbuf();
    const std::string text = all.str();
    int32_t values[saveValueCount];
    if (!parseSaveText(text.data(), text.size(), values))
        return 1;
    for (int i = 0; i < saveValueCount; ++i)
        std::printf("%d%c", values[i], i + 1 < saveValueCount ? ' ' : '\n');
    return 0;
}

// save_text.h - reading the text of "heroData.txt": fifteen decimal integers
// separated by any white space. Kept free of the library so that a fuzzer can
// drive it alone.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int saveValueCount = 15;

// True when the text holds fifteen integers, each in the signed 32-bit range
// and ended by white space or the end of the text; anything after the
// fifteenth is ignored.
bool parseSaveText(const char *text, size_t length, int32_t values[saveValueCount]);

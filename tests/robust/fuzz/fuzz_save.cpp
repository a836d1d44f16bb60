// fuzz_save.cpp - libFuzzer target for the save loader, parseSaveText.
//
// For any input: the parser agrees with a second, token-based reading of the
// same rules (the first fifteen white-space separated words must each be a
// signed decimal integer in the 32-bit range; anything after them is ignored);
// accepted values written back in the game's layout, one per line, read back
// the same. And fifteen values taken from the input, written with random
// white space and signs between them, are always accepted as they are.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "persist/save_text.h"

namespace
{

bool space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The rules read by words instead of by characters.
bool referenceParse(const std::string &text, int32_t values[saveValueCount])
{
    size_t at = 0;
    for (int n = 0; n < saveValueCount; ++n) {
        while (at < text.size() && space(text[at]))
            ++at;
        size_t end = at;
        while (end < text.size() && !space(text[end]))
            ++end;
        std::string word = text.substr(at, end - at);
        at = end;
        bool negative = false;
        if (!word.empty() && (word[0] == '+' || word[0] == '-')) {
            negative = word[0] == '-';
            word.erase(0, 1);
        }
        if (word.empty() || word.find_first_not_of("0123456789") != std::string::npos)
            return false;
        const size_t first = word.find_first_not_of('0');
        const std::string digits = first == std::string::npos ? "0" : word.substr(first);
        const std::string limit = negative ? "2147483648" : "2147483647";
        if (digits.size() > limit.size() || (digits.size() == limit.size() && digits > limit))
            return false;
        const long long magnitude = std::atoll(digits.c_str());
        values[n] = int32_t(negative ? -magnitude : magnitude);
    }
    return true;
}

void require(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "property broken: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The input as a save file (an exact-size copy, so any read past it is seen).
    char *text = new char[size];
    std::memcpy(text, data, size);
    int32_t values[saveValueCount], expected[saveValueCount];
    const bool accepted = parseSaveText(text, size, values);
    delete[] text;
    require(accepted == referenceParse(std::string(reinterpret_cast<const char *>(data), size), expected),
            "the parser and the word-based reading disagree on acceptance");
    if (accepted) {
        require(std::memcmp(values, expected, sizeof values) == 0,
                "the parser and the word-based reading disagree on a value");
        std::string written;
        for (int32_t v : values)
            written += std::to_string(v) + "\n";
        int32_t back[saveValueCount];
        require(parseSaveText(written.data(), written.size(), back), "a written save is refused");
        require(std::memcmp(values, back, sizeof values) == 0, "a written save reads back other values");
    }

    // Fifteen values from the input with random white space: always accepted.
    if (size >= saveValueCount * 4 + 1) {
        static const char spaces[] = {' ', '\t', '\n', '\r', '\v', '\f'};
        int32_t chosen[saveValueCount];
        std::string built;
        const uint8_t *p = data;
        const uint8_t *const end = data + size;
        auto nextByte = [&]() -> uint8_t { return p < end ? *p++ : 0; };
        for (int n = 0; n < saveValueCount; ++n) {
            uint32_t bits = 0;
            for (int k = 0; k < 4; ++k)
                bits = bits << 8 | nextByte();
            std::memcpy(&chosen[n], &bits, sizeof bits);
            const uint8_t shape = nextByte();
            const int spacesBefore = (n == 0 ? 0 : 1) + shape % 4;
            for (int k = 0; k < spacesBefore; ++k)
                built += spaces[nextByte() % 6];
            if (chosen[n] >= 0 && shape & 0x10)
                built += '+';
            std::string number = std::to_string(chosen[n]);
            if (shape & 0x20) // leading zeros after the sign
                number.insert(chosen[n] < 0 ? 1 : 0, "000");
            built += number;
        }
        if (nextByte() & 1)
            built += spaces[nextByte() % 6];
        int32_t back[saveValueCount];
        require(parseSaveText(built.data(), built.size(), back), "fifteen valid numbers were refused");
        require(std::memcmp(chosen, back, sizeof back) == 0, "fifteen valid numbers read back other values");
    }
    return 0;
}

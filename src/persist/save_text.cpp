// save_text.cpp - strict parsing of a save file's text.

#include "persist/save_text.h"

static bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool parseSaveText(const char *text, size_t length, int32_t values[saveValueCount])
{
    size_t at = 0;
    for (int n = 0; n < saveValueCount; ++n) {
        while (at < length && isSpace(text[at]))
            ++at;
        bool negative = false;
        if (at < length && (text[at] == '-' || text[at] == '+'))
            negative = text[at++] == '-';
        const size_t digitsStart = at;
        int64_t magnitude = 0;
        while (at < length && text[at] >= '0' && text[at] <= '9') {
            magnitude = magnitude * 10 + (text[at] - '0');
            if (magnitude > int64_t(INT32_MAX) + 1)
                return false; // past the 32-bit range
            ++at;
        }
        if (at == digitsStart)
            return false; // no digits: a word, or the file ended early
        if (at < length && !isSpace(text[at]))
            return false; // a number glued to something else
        const int64_t value = negative ? -magnitude : magnitude;
        if (value > INT32_MAX)
            return false;
        values[n] = int32_t(value);
    }
    return true;
}

// replay_script.cpp - parsing replay scripts.

#include "replay_script.h"

#include <allegro.h>
#include <sstream>

namespace
{

constexpr int64_t maxRunTicks = 100'000'000;
constexpr size_t maxRuns = 100'000;

struct KeyName {
    const char *name;
    uint16_t bit;
    int scancode;
};
const KeyName keyNames[] = {
    {"ESC", replayEsc, KEY_ESC},    {"ENTER", replayEnter, KEY_ENTER}, {"F1", replayF1, KEY_F1},
    {"F2", replayF2, KEY_F2},       {"RIGHT", replayRight, KEY_RIGHT}, {"LEFT", replayLeft, KEY_LEFT},
    {"DOWN", replayDown, KEY_DOWN}, {"UP", replayUp, KEY_UP},          {"RSHIFT", replayRShift, KEY_RSHIFT},
};

bool parseKeys(const std::string &word, uint16_t &keys)
{
    keys = 0;
    if (word == "-")
        return true;
    size_t start = 0;
    while (start <= word.size()) {
        const size_t plus = word.find('+', start);
        const std::string name =
            word.substr(start, plus == std::string::npos ? std::string::npos : plus - start);
        bool known = false;
        for (const KeyName &k : keyNames)
            if (name == k.name) {
                keys |= k.bit;
                known = true;
            }
        if (!known)
            return false;
        if (plus == std::string::npos)
            break;
        start = plus + 1;
    }
    return true;
}

bool parseCount(const std::string &word, int64_t lo, int64_t hi, int64_t &value)
{
    if (word.empty() || word.size() > 12)
        return false;
    value = 0;
    for (char c : word) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return value >= lo && value <= hi;
}

} // namespace

bool parseReplay(const std::string &text, ReplayScript &script, std::string &error)
{
    script = ReplayScript{};
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        const size_t hash = line.find('#');
        if (hash != std::string::npos)
            line.erase(hash);
        std::istringstream words(line);
        std::string first, second, extra;
        if (!(words >> first))
            continue;
        words >> second;
        const bool tooMany = bool(words >> extra);
        const auto fail = [&](const char *what) {
            error = "line " + std::to_string(number) + ": " + what;
            return false;
        };
        if (second.empty() || tooMany)
            return fail("expected two words");
        if (first == "seed") {
            int64_t seed;
            if (!parseCount(second, 0, 4294967295LL, seed))
                return fail("the seed must be a number from 0 to 4294967295");
            script.seed = unsigned(seed);
        } else if (first == "save") {
            script.saveFile = second;
        } else {
            ReplayRun run;
            if (!parseCount(first, 1, maxRunTicks, run.ticks))
                return fail("a tick count must be a number from 1 to 100000000");
            if (!parseKeys(second, run.keys))
                return fail("unknown key name");
            if (script.runs.size() == maxRuns)
                return fail("too many runs");
            script.runs.push_back(run);
        }
    }
    return true;
}

void applyReplayKeys(uint16_t keys)
{
    for (const KeyName &k : keyNames)
        key[k.scancode] = (keys & k.bit) ? 1 : 0;
}

// fuzz_replay.cpp - libFuzzer target for the replay reader, parseReplay.
//
// For any input: a refusal names a line of the text; an accepted script keeps
// every run inside the format's limits (1..100,000,000 ticks, known keys, at
// most 100,000 runs), and written back as text it reads back the same script.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "replay_script.h"

namespace
{

void require(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "property broken: %s\n", what);
        std::abort();
    }
}

std::string keyWord(uint16_t keys)
{
    static const char *const names[] = {"ESC", "ENTER", "F1", "F2", "RIGHT", "LEFT", "DOWN", "UP", "RSHIFT"};
    std::string word;
    for (int bit = 0; bit < 9; ++bit)
        if (keys & (1u << bit))
            word += (word.empty() ? "" : "+") + std::string(names[bit]);
    return word.empty() ? "-" : word;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    ReplayScript script;
    std::string error;
    if (!parseReplay(text, script, error)) {
        size_t lines = 1;
        for (char c : text)
            lines += c == '\n';
        require(error.compare(0, 5, "line ") == 0, "a refusal without a line number");
        const long line = std::strtol(error.c_str() + 5, nullptr, 10);
        require(line >= 1 && size_t(line) <= lines, "a refusal names a line the text does not have");
        return 0;
    }
    require(script.runs.size() <= 100000, "more than 100,000 runs");
    std::string written = "seed " + std::to_string(script.seed) + "\n";
    if (!script.saveFile.empty()) {
        require(script.saveFile.find_first_of(" \t\n\r\v\f#") == std::string::npos,
                "a save name with a space or #");
        written += "save " + script.saveFile + "\n";
    }
    for (const ReplayRun &run : script.runs) {
        require(run.ticks >= 1 && run.ticks <= 100000000, "a run length outside 1..100,000,000");
        require(run.keys < (1u << 9), "an unknown key bit");
        written += std::to_string(run.ticks) + " " + keyWord(run.keys) + "\n";
    }
    ReplayScript back;
    require(parseReplay(written, back, error), "a written script is refused");
    require(back.seed == script.seed && back.saveFile == script.saveFile &&
                back.runs.size() == script.runs.size(),
            "a written script reads back another seed, save or run count");
    for (size_t i = 0; i < back.runs.size(); ++i)
        require(back.runs[i].ticks == script.runs[i].ticks && back.runs[i].keys == script.runs[i].keys,
                "a written script reads back another run");
    return 0;
}

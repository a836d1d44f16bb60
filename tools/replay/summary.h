// summary.h - a plain-text summary of the whole game state, one fact per
// line, for diffing replays against expected files.
#pragma once

#include <cstdio>

#include "state/shell_state.h"

void printSummary(FILE *out, const ShellState &state);

// shell_state.cpp - the backdrop swap and the zone track table.

#include "state/shell_state.h"

#include "assets/data_check.h"

void replaceBackdrop(ShellState &state, const char *fileName)
{
    if (state.backdrop)
        destroy_bitmap(state.backdrop);
    state.backdrop = loadCheckedPicture(fileName);
    state.backdropName = fileName;
}

SAMPLE *zoneTrack(const ShellState &state, int32_t zone)
{
    switch (zone) {
    case zoneHome: return state.homeTrack;
    case zoneSouthWest: return state.southWestTrack;
    case zoneEast: return state.eastTrack;
    default: return nullptr;
    }
}

const char savedNoticeText[] = "Saved";

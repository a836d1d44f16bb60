// icons.h - the desktop icons: the hero on a round badge with a jewel, as
// PNG files with an alpha channel, one per size.
#pragma once

#include <string>

// Writes jewelward-SIZE.png for every icon size into dir; false on a failed write.
bool writeIcons(const std::string &dir);

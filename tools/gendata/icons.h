// icons.h - the desktop icons: the hero on a round badge with a jewel, as
// PNG files with an alpha channel, one per size, and one Windows icon file.
#pragma once

#include <string>

// Writes jewelward-SIZE.png for every icon size and jewelward.ico holding them
// all (for Windows) into dir; false on a failed write.
bool writeIcons(const std::string &dir);

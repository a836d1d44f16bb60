// file_problem.cpp - the reasons a file operation fails, as the game words
// them for a player. Both systems report through errno (the Windows side
// turns its own errors into the errno of the same meaning), so one table
// serves both.

#include "core/platform.h"

#include <cerrno>

FileProblem fileProblemOf(int error)
{
    switch (error) {
    case EROFS: return FileProblem::readOnly;
    case ENOSPC: return FileProblem::diskFull;
#ifdef EDQUOT // a quota is a full disk to the player; Windows has no such errno
    case EDQUOT: return FileProblem::diskFull;
#endif
    case EACCES:
    case EPERM: return FileProblem::permission;
    case EISDIR:
    case ENOTEMPTY:
    case EEXIST: return FileProblem::folderInTheWay;
    case fileInUseError: return FileProblem::inUse;
    default: return FileProblem::other;
    }
}

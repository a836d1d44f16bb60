// standard_streams.cpp - descriptors 0, 1 and 2 held open, SIGPIPE ignored.

#include "core/standard_streams.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

void keepStandardStreamsSafe()
{
    // In order: while 0 is closed /dev/null lands there, and so on upward, so
    // open() itself hands back the missing number.
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
    std::signal(SIGPIPE, SIG_IGN);
}

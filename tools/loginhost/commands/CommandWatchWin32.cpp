// loginhost watch follows the modem and network services of a Linux desktop's system bus, and
// status reads it from the session bus; a Windows host has neither.
#include <cstdio>

#include "Commands.h"

int CommandWatch(const Args& /*args*/) {
    std::fprintf(stderr,
                 "loginhost: watch serves the plug-in from the Linux system bus (modem and "
                 "network services); this Windows build has no watch\n");
    return 2;
}

int CommandStatus(const Args& /*args*/) {
    std::fprintf(stderr,
                 "loginhost: status reads watch on the Linux session bus; this Windows "
                 "build has no watch\n");
    return 3;
}

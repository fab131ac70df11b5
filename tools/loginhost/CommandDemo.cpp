// PENDING: loginhost demo arrives with its own work.
#include <cstdio>

#include "Commands.h"

int CommandDemo(const Args& /*args*/) {
    std::printf("loginhost demo: not yet\n");
    return 2;
}

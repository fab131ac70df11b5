// PENDING: loginhost settings arrives with its own work.
#include <cstdio>

#include "Commands.h"

int CommandSettings(const Args& /*args*/) {
    std::printf("loginhost settings: not yet\n");
    return 2;
}

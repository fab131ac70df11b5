// PENDING: loginhost encode-table arrives with its own work.
#include <cstdio>

#include "Commands.h"

int CommandEncodeTable(const Args& /*args*/) {
    std::printf("loginhost encode-table: not yet\n");
    return 2;
}

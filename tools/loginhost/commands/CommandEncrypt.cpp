// loginhost encrypt TEXT: a setting value enciphered by the host's crypt plug-in, for a profile
// ([CRYPT] CRYPT in system.ini, [PROXY] PASSWORD in user.ini).
#include <cstdio>

#include "Commands.h"
#include "HostCrypt.h"

int CommandEncrypt(const Args& args) {
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: loginhost encrypt TEXT\n");
        return 2;
    }
    HostCrypt crypt;
    const std::string sealed = crypt.Encrypt(args[0]);
    if (sealed.empty()) {
        std::fprintf(stderr, "loginhost: the cipher failed\n");
        return 2;
    }
    std::printf("%s\n", sealed.c_str());
    return 0;
}

// loginhost: the reference host of the login plug-in.
#include <cstdio>
#include <cstring>

#include "Commands.h"

namespace {

int Usage() {
    std::fprintf(
        stderr,
        "usage: loginhost run --profile DIR [--plugin PATH] [--script FILE]"
        " [--timeout SECONDS] [--json]\n"
        "       loginhost demo [--json]\n"
        "       loginhost encode-table IN OUT --profile DIR\n"
        "       loginhost settings --profile DIR\n"
        "       loginhost encrypt TEXT\n"
        "       loginhost watch --profile DIR [--plugin PATH] [--modem ID] [--operators FILE]\n"
        "                       [--no-notify] [--json]\n"
        "       loginhost status [--json]\n"
        "       loginhost init-profile DIR [--server https://HOST:PORT]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc < 2) return Usage();
    const std::string command = argv[1];
    const Args args(argv + 2, argv + argc);
    if (command == "run") return CommandRun(args);
    if (command == "demo") return CommandDemo(args);
    if (command == "encode-table") return CommandEncodeTable(args);
    if (command == "settings") return CommandSettings(args);
    if (command == "encrypt") return CommandEncrypt(args);
    if (command == "watch") return CommandWatch(args);
    if (command == "status") return CommandStatus(args);
    if (command == "init-profile") return CommandInitProfile(args);
    return Usage();
}

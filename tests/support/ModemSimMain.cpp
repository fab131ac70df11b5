// modem-sim --link PATH [--script FILE]: a scripted data card on a pseudo-terminal, reachable
// through PATH. It prints "port PATH TERMINAL" once it answers, and "< COMMAND" for each command.
// Lines on its standard input change it: "unplug", "plug", or a script line ("imsi 4600...").
// It ends at the end of its input.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <mutex>
#include <string>

#include "ModemSimulator.h"

namespace {

std::mutex g_out;

void Say(const std::string& line) {
    std::lock_guard<std::mutex> lock(g_out);
    std::fprintf(stdout, "%s\n", line.c_str());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    std::string link, scriptPath;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--link") link = argv[i + 1];
        if (a == "--script") scriptPath = argv[i + 1];
    }
    if (link.empty()) {
        std::fprintf(stderr, "usage: modem-sim --link PATH [--script FILE]\n");
        return 2;
    }
    ModemScript script;
    if (!scriptPath.empty()) {
        std::ifstream in(scriptPath);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        std::string error;
        if (!in || !script.Parse(text, error)) {
            std::fprintf(stderr, "modem-sim: %s:%s\n", scriptPath.c_str(), error.c_str());
            return 2;
        }
    }
    ModemSimulator modem(script, link);
    modem.OnCommand([](const std::string& command) { Say("< " + command); });
    std::string error;
    auto plug = [&] {
        if (!modem.Plug(error)) {
            std::fprintf(stderr, "modem-sim: %s\n", error.c_str());
            return false;
        }
        Say("port " + modem.Path() + " " + modem.Terminal());
        return true;
    };
    if (!plug()) return 1;
    for (std::string line; std::getline(std::cin, line);) {
        if (line == "unplug") {
            modem.Unplug();
            Say("unplugged");
        } else if (line == "plug") {
            if (!plug()) return 1;
        } else if (!line.empty()) {
            std::string why;
            bool applied = false;
            modem.Change([&](ModemScript& s) { applied = s.Apply(line, why); });
            Say(applied ? "set " + line : "modem-sim: " + why);
        }
    }
    return 0;
}

// The reference host's commands; each takes the arguments after its name and returns the exit
// status (0 success, 1 the login did not succeed, 2 usage or profile error).
#pragma once

#include <functional>
#include <string>
#include <vector>

using Args = std::vector<std::string>;

class HostProfile;

// The options that run and watch share (settings takes the first two).
struct HostOptions {
    std::string profile;  // --profile DIR
    std::string plugin;   // --plugin PATH
    bool bJson = false;   // --json

    // The plug-in to load: --plugin, or the one beside the program.
    std::string PluginPath() const;
};

// One of a command's own options: takes args[i] (and its value, moving i past it) and answers
// true, or false when args[i] is not one of them. A value it refuses it says on stderr and
// marks in bBad.
using OwnOption = std::function<bool(const Args& args, size_t& i, bool& bBad)>;

// Parses a command's arguments: the shared options that `accepted` lists ("--profile",
// "--plugin", "--json"), then the command's own. Says on stderr what is wrong: an argument no one
// takes, a refused value, or --profile missing for a command that names itself in `needsProfile`.
bool ParseHostOptions(const Args& args, HostOptions& options,
                      const std::vector<std::string>& accepted, const char* needsProfile,
                      const OwnOption& own = {});
// Reads the profile directory; says why on stderr when it cannot.
bool LoadProfile(const std::string& dir, HostProfile& profile);

int CommandRun(const Args& args);
int CommandDemo(const Args& args);
int CommandEncodeTable(const Args& args);
int CommandSettings(const Args& args);
int CommandEncrypt(const Args& args);
int CommandWatch(const Args& args);
// Exit status 0 signed in, 1 not, 3 no watch running.
int CommandStatus(const Args& args);
int CommandInitProfile(const Args& args);

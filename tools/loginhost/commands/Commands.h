// The reference host's commands; each takes the arguments after its name and returns the exit
// status (0 success, 1 the login did not succeed, 2 usage or profile error).
#pragma once

#include <string>
#include <vector>

using Args = std::vector<std::string>;

class HostProfile;

// The options that run and watch share (settings takes the first two).
struct HostOptions {
    std::string profile;  // --profile DIR
    std::string plugin;   // --plugin PATH
    bool bJson = false;   // --json
};

// Takes args[i] (and its value, moving i past it) when it is one of the shared options that
// `accepted` lists ("--profile", "--plugin", "--json"); false otherwise.
bool TakeHostOption(const Args& args, size_t& i, HostOptions& options,
                    const std::vector<std::string>& accepted);
// Reads the profile directory; says why on stderr when it cannot.
bool LoadProfile(const std::string& dir, HostProfile& profile);

int CommandRun(const Args& args);
int CommandDemo(const Args& args);
int CommandEncodeTable(const Args& args);
int CommandSettings(const Args& args);
int CommandEncrypt(const Args& args);
int CommandWatch(const Args& args);

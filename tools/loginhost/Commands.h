// The reference host's commands; each takes the arguments after its name and returns the exit
// status (0 success, 1 the login did not succeed, 2 usage or profile error).
#pragma once

#include <string>
#include <vector>

using Args = std::vector<std::string>;

int CommandRun(const Args& args);
int CommandDemo(const Args& args);
int CommandEncodeTable(const Args& args);
int CommandSettings(const Args& args);
int CommandEncrypt(const Args& args);
int CommandWatch(const Args& args);

// Starting one of the library's helper programs from inside the host's process: posix_spawn, as
// the host has threads of its own, with the child's standard descriptors as the caller gives them
// and none of the host's other descriptors.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// A standard descriptor of the child that is /dev/null.
constexpr int kSpawnNullDevice = -1;

struct SpawnDescriptors {
    int in = kSpawnNullDevice;
    int out = kSpawnNullDevice;
    int err = 2;  // the host's own standard error
};

// Runs program with the arguments (after argv[0], which is the program); the child's pid, or -1
// when it could not be started.
pid_t SpawnHelper(const std::string& program, const std::vector<std::string>& args,
                  const SpawnDescriptors& descriptors);

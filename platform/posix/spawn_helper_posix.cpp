#include "platform/posix/spawn_helper.h"

#include <fcntl.h>
#include <spawn.h>

extern char** environ;

pid_t SpawnHelper(const std::string& program, const std::vector<std::string>& args,
                  const SpawnDescriptors& descriptors) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const int given[3] = {descriptors.in, descriptors.out, descriptors.err};
    for (int target = 0; target < 3; ++target) {
        if (given[target] == kSpawnNullDevice) {
            posix_spawn_file_actions_addopen(&actions, target, "/dev/null",
                                             target == 0 ? O_RDONLY : O_WRONLY, 0);
        } else if (given[target] != target) {
            posix_spawn_file_actions_adddup2(&actions, given[target], target);
        }
    }
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

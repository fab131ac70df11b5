// The last resort against a thread that will not stop: end it where the OS can, else let it go.
#pragma once

#include <thread>

// Ends the use of a thread that is still running. Returns true when the thread was terminated,
// false when it was only detached and keeps running on its own.
bool TerminateOrAbandon(std::thread& thread);

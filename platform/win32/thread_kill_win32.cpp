#include <pthread.h>
#include <windows.h>

#include "platform/thread_kill.h"

// Windows can terminate a thread outright; the owner only does so after every cancellable wait
// has been cancelled, when the thread is stuck in a call that closing its handles did not end.
bool TerminateOrAbandon(std::thread& thread) {
    HANDLE handle = pthread_gethandle(thread.native_handle());
    const bool terminated = handle != nullptr && TerminateThread(handle, 0) != 0;
    if (terminated) WaitForSingleObject(handle, 1000);
    thread.detach();
    return terminated;
}

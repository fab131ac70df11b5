// Ctrl-C and SIGTERM during a run: a flag that ends every wait early, so that the plug-in is still
// shut down cleanly; and, for a program that must end promptly, a thread that cancels the card's
// reads and ends the program when the plug-in's shutdown does not come soon after. The same
// thread holds a run to its time-out.
#pragma once

#include <atomic>
#include <chrono>

#include "CardSource.h"

class HostInterrupt {
public:
    // Set by an interrupt (a signal handler may raise it); never cleared.
    static const std::atomic<bool>& Flag();
    static void Raise();
    static bool Raised() { return Flag(); }
    // From now on SIGINT and SIGTERM raise the flag.
    static void Catch();
    // Catch(), and after an interrupt `card`'s reads fail at once; a plug-in that still holds
    // the host's thread is left without its shutdown (exit status 130).
    static void EndPromptly(CardSource* card);
    // After EndPromptly: at `end` the card's reads fail at once, so that a plug-in that reads it
    // again and again gives the host back its thread; one that still holds the host a few
    // seconds later is left without its shutdown (exit status 1). Waits are not ended: the
    // caller bounds them by `end` itself.
    static void EndBy(std::chrono::steady_clock::time_point end);
    // The card is going away: its reads are no longer cancelled.
    static void Forget(const CardSource* card);
    // The plug-in has been shut down: an interrupt no longer ends the program at once.
    static void ShutDown();
};

// The identity source: the SIM's IMSI as the card gives it, the cache of the last one read with
// the tickets that order the card's reads, and the default identity kept in the user's registry
// for when there is no card.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "IPluginContainer.h"
#include "StepOutcome.h"
#include "global/Clock.h"

class IdentitySource {
public:
    IdentitySource(IPluginContainer* pContainer, IClock& clock)
        : m_pContainer(pContainer), m_clock(clock) {}
    IdentitySource(const IdentitySource&) = delete;
    IdentitySource& operator=(const IdentitySource&) = delete;

    // The cached identity, else the card's, else the default one (text); a failed read of the
    // card reports the host's reason as the code.
    StepOutcome Get();
    // Reads the card again (emptying the cache first); `ticket` tells which read it was. The
    // identity is the text; a failed read reports the host's reason as the code.
    StepOutcome ReadCard(uint64_t& ticket);
    // The default identity from the registry, made and stored when missing or malformed.
    std::string Default();
    // Makes a new default identity and stores it; 0, or which step of the storing failed.
    int CreateDefault(std::string& identity);
    // The identity last stored in the cache (empty while a read is in progress).
    std::string Cached() const;

private:
    // The cache is ordered by reads of the card: each read takes a ticket as it begins (and
    // empties the cache), and what it found stands only if no read that began later has stored
    // anything since, so that a slow read never replaces a fresher identity.
    uint64_t BeginRead();
    bool Store(const std::string& imsi, uint64_t ticket);

    IPluginContainer* m_pContainer;
    IClock& m_clock;
    mutable std::mutex m_guard;  // m_strIMSI, the tickets below
    std::string m_strIMSI;
    uint64_t m_nTickets = 0;  // tickets handed out
    uint64_t m_nTicket = 0;   // the ticket of the read whose value m_strIMSI holds
};

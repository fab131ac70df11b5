#include "CardIdentity.h"

#include <cstdint>

#include "ICheckDeviceType.h"
#include "LoginSettings.h"
#include "platform/registry.h"

std::string CardIdentity(const HostServices& services, const CardProfile& card) {
    if (!services.simulated) {
        // A real card: what it gives now.
        char imsi[MTS_IMSI_BUFFER_SIZE] = {};
        int32_t error = 0;
        if (services.card->ReadImsi(imsi, sizeof imsi, error) && imsi[0]) return imsi;
        return DefaultIdentity();
    }
    // A card that gives its IMSI (its read results end in success) signs in with it.
    const bool bReads = card.bComm && (card.imsiResults.empty() || card.imsiResults.back() == 0);
    if (bReads && !card.imsi.empty()) return card.imsi;
    return DefaultIdentity();
}

std::string DefaultIdentity() {
    RegKey key = RegKey::OpenCurrentUser(LOGIN_REGISTRY_IDENTITY_KEY, RegAccess::Read);
    char stored[32] = {};
    uint32_t size = sizeof stored;
    // The stored characters with their terminating zero; a value of another size is not one the
    // plug-in would use.
    if (key.IsOpen() && key.QueryValue(LOGIN_REGISTRY_IDENTITY_VALUE, stored, size) &&
        size == LOGIN_DEFAULT_IDENTITY_STORED_LENGTH + 1) {
        return LOGIN_DEFAULT_IDENTITY_PREFIX +
               std::string(stored, LOGIN_DEFAULT_IDENTITY_STORED_LENGTH);
    }
    return {};
}

// The identity the plug-in signs in with, as the host predicts it for the report: the card's IMSI
// when the card gives one, else the default identity the plug-in keeps in the user's registry.
#pragma once

#include <string>

#include "HostProfile.h"
#include "HostServices.h"

// `card` is the simulated card as it stands now; a real card is asked.
std::string CardIdentity(const HostServices& services, const CardProfile& card);

// The default identity stored in the registry; empty when none is stored.
std::string DefaultIdentity();

// The SIM's brand from its service-provider name.
// PENDING: placeholder bodies until this concern is built; failure values only.
#include "LoginImpl.h"

SimCardInfo CLoginImpl::GetSimCardInfo() { return SimCardInfo(); }

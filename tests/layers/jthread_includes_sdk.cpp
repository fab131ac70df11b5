// The libraries build without the SDK.
#include "ILogin.h"

// ... nor spelled from the root.
#include "src/LoginPlugin/LoginImpl.h"

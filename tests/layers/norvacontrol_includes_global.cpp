// The dialog controls are a library: the skinned dialog base of the shared layer is above them.
#include "global/BaseSubDlg.h"

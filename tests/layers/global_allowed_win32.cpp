// On Windows the shared layer also sees the dialog controls its dialog base builds on.
#include "global/BaseSubDlg.h"
#include "libs/norvacontrol/Dialog.h"

// The plug-in's answer to a host's binary-contract check (interface number IID_ABI_INFO).
#pragma once

class IBaseInterface;

// The one process-wide object; it is never destroyed, so Release does nothing.
IBaseInterface* AbiInfo();

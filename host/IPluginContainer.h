// The host's container: hands out the interfaces of every loaded plug-in. Handed to the plug-in
// with IBasePlugin::SetPluginContainer; the plug-in asks it from the host's threads and from its
// own worker thread, so it must be safe from any thread.
#pragma once

#include "IBaseInterface.h"

class IPluginContainer {
public:
    // pluginId is a 36-character GUID text. *ppInterface is null beforehand and stays null when
    // nothing is served; the caller releases what it gets right after one use.
    virtual bool QueryInterface(const char* pluginId, int32_t number,
                                IBaseInterface** ppInterface) = 0;

protected:
    ~IPluginContainer() = default;
};

// A small in-test host: the container and the sibling plug-ins' interfaces, each scriptable and
// counting its calls, made of the parts below. Everything is safe to call from the worker and the
// test thread at once.
#pragma once

#include "FakeContainer.h"
#include "FakeCrypt.h"
#include "FakeDevice.h"
#include "FakeNetwork.h"
#include "FakeSetting.h"
#include "FakeStringRes.h"
#include "PluginIds.h"

// Everything wired together, serving all sibling interfaces.
struct FakeHost {
    FakeHost();
    FakeSetting setting;
    FakeStringRes strings;
    FakeMTSComm comm;
    FakeCheckDeviceType device{&comm};
    FakeNetConnect net;
    FakeCheckNetConnection check;
    FakeCrypt crypt;
    FakeContainer container;
};

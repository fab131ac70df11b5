// Reads of the host's modem backend from the simulated modem on a pseudo-terminal: the IMSI and
// the SPN (UCS2, decoded to GBK) from a ready modem, each pair after the port is opened and
// initialised, or on a port already open; and a read from a silent modem, which must end with
// the command time-out (3 s), not later.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "ICheckDeviceType.h"
#include "ModemCard.h"
#include "ModemSimulator.h"

namespace {

std::unique_ptr<ModemSimulator> Modem(const std::string& script) {
    ModemScript s;
    std::string error;
    if (!s.Parse(script, error)) return nullptr;
    auto modem = std::make_unique<ModemSimulator>(s);
    if (!modem->Plug(error)) return nullptr;
    return modem;
}

bool ReadBoth(ModemCard& card) {
    char imsi[MTS_IMSI_BUFFER_SIZE] = {};
    char spn[MTS_SPN_BUFFER_SIZE] = {};
    int32_t error = 0;
    return card.ReadImsi(imsi, sizeof imsi, error) && card.ReadSpn(spn, sizeof spn, error);
}

void BM_ReadyModemImsiAndSpn(benchmark::State& state) {
    const bool bFresh = state.range(0) != 0;
    auto modem = Modem("spn-ucs2 \xE4\xB8\xAD\xE5\x9B\xBD\xE7\xA7\xBB\xE5\x8A\xA8\n");
    if (!modem) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    ModemOptions options;
    options.port = modem->Path();
    auto card = std::make_unique<ModemCard>(options);
    for (auto _ : state) {
        if (bFresh) card = std::make_unique<ModemCard>(options);
        if (!ReadBoth(*card)) {
            state.SkipWithError("a read failed");
            return;
        }
    }
}
BENCHMARK(BM_ReadyModemImsiAndSpn)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_SilentModemRead(benchmark::State& state) {
    auto modem = Modem("silent yes\n");
    if (!modem) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    ModemOptions options;
    options.port = modem->Path();
    ModemCard card(options);
    for (auto _ : state) {
        char imsi[MTS_IMSI_BUFFER_SIZE] = {};
        int32_t error = 0;
        if (card.ReadImsi(imsi, sizeof imsi, error) || error != modem_error::kNoAnswer) {
            state.SkipWithError("the silent modem answered");
            return;
        }
    }
}
BENCHMARK(BM_SilentModemRead)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

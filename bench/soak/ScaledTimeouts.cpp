// The soak plug-in's HTTPS time-outs, divided by the clock's scale: a stall costs the worker the
// same share of its retry period as it would at real speed. The soak library's link redirects
// the engine's CreateHttpClient() here.
#include <algorithm>

#include "SoakScale.h"
#include "platform/https.h"

namespace {
uint32_t Scaled(uint32_t ms) {
    return std::max<uint32_t>(1, static_cast<uint32_t>(ms / SoakClockScale()));
}
}  // namespace

// The names --wrap gives CreateHttpClient(HttpCancel&, const HttpClientOptions&): the linker's,
// hence reserved.
// NOLINTBEGIN(bugprone-reserved-identifier)
extern "C" std::unique_ptr<IHttpClient>
__real__Z16CreateHttpClientR10HttpCancelRK17HttpClientOptions(HttpCancel& cancel,
                                                              const HttpClientOptions& options);

extern "C" std::unique_ptr<IHttpClient>
__wrap__Z16CreateHttpClientR10HttpCancelRK17HttpClientOptions(HttpCancel& cancel,
                                                              const HttpClientOptions& options) {
    HttpClientOptions scaled = options;
    scaled.timeouts.connectMs = Scaled(options.timeouts.connectMs);
    scaled.timeouts.sendMs = Scaled(options.timeouts.sendMs);
    scaled.timeouts.receiveMs = Scaled(options.timeouts.receiveMs);
    return __real__Z16CreateHttpClientR10HttpCancelRK17HttpClientOptions(cancel, scaled);
}
// NOLINTEND(bugprone-reserved-identifier)

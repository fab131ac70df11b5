// The SIM's brand from its service-provider name, looked up in the encoded brand table.
#include <algorithm>

#include "BrandTable.h"
#include "LoginImpl.h"
#include "LoginSettings.h"
#include "global/GlobalAT.h"
#include "libs/trace/Trace.h"
#include "global/VelkoException.h"

namespace {
constexpr TraceSite kTrace{"LoginPlguin", "src\\LoginPlugin\\LoginImpl"};
}  // namespace

SimCardInfo CLoginImpl::GetSimCardInfo() {
    std::optional<int32_t> spnError;
    SimCardInfo info = ReadSimCardInfo(spnError);
    KeepStateCode(spnError);
    return info;
}

SimCardInfo CLoginImpl::ReadSimCardInfo(std::optional<int32_t>& spnError) {
    SimCardInfo info;
    try {
        if (HostRef<IStringResMgr> strings = m_Host.StringResMgr()) {
            info.name = LoadResString(strings.Get(), STRING_DEFAULT_BRAND_NAME);
        }

        HostRef<ICheckDeviceType> device = m_Host.CheckDeviceType();
        if (!device) return info;
        // The communication interface is the host's for good: it is not released.
        MTSComm* pComm = device->GetMTSComm();
        device.Reset();
        if (!pComm) {
            TRACE_AT(kTrace, TRACE_WARN, "pMTSComm is NULL!");
            return info;
        }

        char spn[MTS_SPN_BUFFER_SIZE] = {};
        int32_t error = 0;
        if (!DEVGetSimBrand(pComm, spn, error, m_pClock.get())) {
            TRACE_AT(kTrace, TRACE_ERRO, "pMTSComm->SRVGetSpnData() failed!");
            spnError = error;
            return info;
        }
        // The host writes a terminated text; a full buffer is taken as it stands.
        const std::string spnText(spn, std::find(spn, spn + sizeof spn, '\0'));
        if (!spnText.empty()) info.name = spnText;

        std::string table;
        if (!m_pPluginContainer ||
            !ReadCryptFile(m_pPluginContainer, GetModuleDir() + LOGIN_BRAND_TABLE_FILE, table))
            throw CVelkoException();
        FindBrandByName(table, info.name, info);
        return info;
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "GetSimCardInfo() exception!");
        return info;
    }
}

#include "NetworkManagerClient.h"

#include <NetworkManager.h>

NetworkManagerClient::~NetworkManagerClient() {
    FollowDevice(nullptr);
    if (!m_pClient) return;
    g_signal_handlers_disconnect_by_data(m_pClient, this);
    g_object_unref(m_pClient);
}

bool NetworkManagerClient::Start(std::string& error) {
    GError* pError = nullptr;
    m_pClient = nm_client_new(nullptr, &pError);
    if (!m_pClient) {
        error = std::string("network service client: ") + (pError ? pError->message : "failed");
        g_clear_error(&pError);
        return false;
    }
    for (const char* property : {NM_CLIENT_NM_RUNNING, NM_CLIENT_STATE, NM_CLIENT_CONNECTIVITY}) {
        const std::string signal = std::string("notify::") + property;
        g_signal_connect(m_pClient, signal.c_str(), G_CALLBACK(OnNotify), this);
    }
    g_signal_connect(m_pClient, NM_CLIENT_DEVICE_ADDED, G_CALLBACK(OnDevice), this);
    g_signal_connect(m_pClient, NM_CLIENT_DEVICE_REMOVED, G_CALLBACK(OnDevice), this);
    Evaluate();
    return true;
}

void NetworkManagerClient::SetModem(const std::string& modemPath) {
    if (modemPath == m_strModem) return;
    m_strModem = modemPath;
    if (m_pClient) Evaluate();
}

void NetworkManagerClient::OnDevice(void* /*client*/, void* /*device*/, void* self) {
    static_cast<NetworkManagerClient*>(self)->Evaluate();
}

void NetworkManagerClient::FollowDevice(NMDevice* device) {
    if (device == m_pDevice) return;
    if (m_pDevice) {
        g_signal_handlers_disconnect_by_data(m_pDevice, this);
        g_object_unref(m_pDevice);
    }
    m_pDevice = device;
    if (!m_pDevice) return;
    g_object_ref(m_pDevice);
    g_signal_connect(m_pDevice, "notify::" NM_DEVICE_STATE, G_CALLBACK(OnNotify), this);
}

void NetworkManagerClient::OnNotify(void* /*client*/, void* /*param*/, void* self) {
    static_cast<NetworkManagerClient*>(self)->Evaluate();
}

void NetworkManagerClient::Evaluate() {
    NetworkSnapshot now;
    now.bService = nm_client_get_nm_running(m_pClient);
    if (now.bService) {
        now.state = static_cast<uint32_t>(nm_client_get_state(m_pClient));
        now.connectivity = static_cast<uint32_t>(nm_client_get_connectivity(m_pClient));
    }
    // The service names a modem's device by the modem service's object of it.
    NMDevice* device = nullptr;
    const GPtrArray* devices =
        now.bService && !m_strModem.empty() ? nm_client_get_devices(m_pClient) : nullptr;
    for (guint i = 0; devices && i < devices->len && !device; ++i) {
        auto* candidate = static_cast<NMDevice*>(g_ptr_array_index(devices, i));
        const char* udi = nm_device_get_udi(candidate);
        if (NM_IS_DEVICE_MODEM(candidate) && udi && m_strModem == udi) device = candidate;
    }
    FollowDevice(device);
    if (device) {
        now.bModemDevice = true;
        now.deviceState = static_cast<uint32_t>(nm_device_get_state(device));
    }
    if (m_bTold && now == m_current) return;
    m_bTold = true;
    m_current = now;
    m_onChanged(m_current);
}

#include "NetworkManagerClient.h"

#include <NetworkManager.h>

NetworkManagerClient::~NetworkManagerClient() {
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
    Evaluate();
    return true;
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
    if (m_bTold && now == m_current) return;
    m_bTold = true;
    m_current = now;
    m_onChanged(m_current);
}

#include "ModemManagerClient.h"

#include <libmm-glib.h>

#include <algorithm>
#include <utility>
#include <vector>

struct ModemManagerClient::SimRequest {
    ModemManagerClient* pClient;
    std::string path;
};

namespace {

std::string Text(const char* text) {
    return text ? text : "";
}

bool HasSim(const std::string& path) {
    return !path.empty() && path != "/";
}

// Object paths end in a number that counts up: the oldest modem first.
bool OlderPath(const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

bool HasProperties(MMSim* sim) {
    gchar** names = g_dbus_proxy_get_cached_property_names(G_DBUS_PROXY(sim));
    const bool bAny = names && names[0];
    g_strfreev(names);
    return bAny;
}

}  // namespace

ModemManagerClient::ModemManagerClient(std::string wantedId, Changed onChanged)
    : m_strWantedId(std::move(wantedId)), m_onChanged(std::move(onChanged)) {}

ModemManagerClient::~ModemManagerClient() {
    if (m_pCancel) {
        // Requests still under way end in OnSimReady with "cancelled" and touch nothing.
        g_cancellable_cancel(m_pCancel);
        g_object_unref(m_pCancel);
    }
    if (m_pManager) {
        GList* objects = g_dbus_object_manager_get_objects(G_DBUS_OBJECT_MANAGER(m_pManager));
        for (GList* l = objects; l; l = l->next) {
            MMModem* modem = mm_object_peek_modem(MM_OBJECT(l->data));
            if (modem) g_signal_handlers_disconnect_by_data(modem, this);
        }
        g_list_free_full(objects, g_object_unref);
        g_signal_handlers_disconnect_by_data(m_pManager, this);
        g_object_unref(m_pManager);
    }
    for (auto& entry : m_sims) {
        g_signal_handlers_disconnect_by_data(entry.second, this);
        g_object_unref(entry.second);
    }
}

bool ModemManagerClient::Start(GDBusConnection* bus, std::string& error) {
    GError* pError = nullptr;
    // Not started by the bus on demand: a missing service is waited for, not summoned.
    m_pManager = mm_manager_new_sync(bus, G_DBUS_OBJECT_MANAGER_CLIENT_FLAGS_DO_NOT_AUTO_START,
                                     nullptr, &pError);
    if (!m_pManager) {
        error = std::string("modem service client: ") + (pError ? pError->message : "failed");
        g_clear_error(&pError);
        return false;
    }
    m_pCancel = g_cancellable_new();
    g_signal_connect(m_pManager, "object-added", G_CALLBACK(OnObjectAdded), this);
    g_signal_connect(m_pManager, "object-removed", G_CALLBACK(OnObjectRemoved), this);
    g_signal_connect(m_pManager, "notify::name-owner", G_CALLBACK(OnChanged), this);
    GList* objects = g_dbus_object_manager_get_objects(G_DBUS_OBJECT_MANAGER(m_pManager));
    for (GList* l = objects; l; l = l->next) WatchModem(l->data);
    g_list_free_full(objects, g_object_unref);
    Evaluate();
    return true;
}

void ModemManagerClient::OnObjectAdded(void* /*manager*/, void* object, void* self) {
    auto* client = static_cast<ModemManagerClient*>(self);
    client->WatchModem(object);
    client->Evaluate();
}

void ModemManagerClient::OnObjectRemoved(void* /*manager*/, void* object, void* self) {
    auto* client = static_cast<ModemManagerClient*>(self);
    MMModem* modem = mm_object_peek_modem(MM_OBJECT(object));
    if (modem) g_signal_handlers_disconnect_by_data(modem, client);
    client->Evaluate();
}

void ModemManagerClient::OnChanged(void* /*source*/, void* /*param*/, void* self) {
    static_cast<ModemManagerClient*>(self)->Evaluate();
}

void ModemManagerClient::OnPropertiesChanged(void* /*proxy*/, void* /*changed*/,
                                             void* /*invalidated*/, void* self) {
    static_cast<ModemManagerClient*>(self)->Evaluate();
}

void ModemManagerClient::WatchModem(void* object) {
    MMModem* modem = mm_object_peek_modem(MM_OBJECT(object));
    // The modem's State and Sim come with its property changes.
    if (modem)
        g_signal_connect(modem, "g-properties-changed", G_CALLBACK(OnPropertiesChanged), this);
}

void ModemManagerClient::OnSimReady(void* source, void* result, void* data) {
    auto* request = static_cast<SimRequest*>(data);
    GError* pError = nullptr;
    MMSim* sim = mm_modem_get_sim_finish(MM_MODEM(source), G_ASYNC_RESULT(result), &pError);
    const bool bCancelled = g_error_matches(pError, G_IO_ERROR, G_IO_ERROR_CANCELLED);
    g_clear_error(&pError);
    if (bCancelled) {  // the client is gone
        delete request;
        return;
    }
    ModemManagerClient* client = request->pClient;
    client->m_pending.erase(request->path);
    // The modem may have another SIM by now: keep this one only if it is the one asked for. An
    // object that was not there yet comes without properties, and no change would ever fill
    // them in: that counts as a failure too.
    if (sim && Text(mm_sim_get_path(sim)) == request->path && HasProperties(sim)) {
        client->m_sims[request->path] = sim;
        g_signal_connect(sim, "g-properties-changed", G_CALLBACK(OnPropertiesChanged), client);
    } else {
        client->m_failed.insert(request->path);
        if (sim) g_object_unref(sim);
    }
    delete request;
    // Not retried from here, which would ask again at once for as long as it fails.
    client->Evaluate(false);
}

MMSim* ModemManagerClient::SimOf(void* modem, const std::string& path) {
    auto found = m_sims.find(path);
    if (found != m_sims.end()) return found->second;
    if (m_pending.count(path) || m_failed.count(path)) return nullptr;
    m_pending.insert(path);
    mm_modem_get_sim(MM_MODEM(modem), m_pCancel, reinterpret_cast<GAsyncReadyCallback>(OnSimReady),
                     new SimRequest{this, path});
    return nullptr;
}

void ModemManagerClient::Evaluate(bool bRetry) {
    // A SIM object that could not be read is asked for again at the next change on the bus.
    if (bRetry) m_failed.clear();
    ModemSnapshot now;
    gchar* owner =
        g_dbus_object_manager_client_get_name_owner(G_DBUS_OBJECT_MANAGER_CLIENT(m_pManager));
    const bool bService = owner != nullptr;
    g_free(owner);
    std::vector<std::pair<std::string, MMModem*>> modems;
    GList* objects =
        bService ? g_dbus_object_manager_get_objects(G_DBUS_OBJECT_MANAGER(m_pManager)) : nullptr;
    for (GList* l = objects; l; l = l->next) {
        MMModem* modem = mm_object_peek_modem(MM_OBJECT(l->data));
        if (modem) modems.emplace_back(Text(mm_object_get_path(MM_OBJECT(l->data))), modem);
    }
    std::sort(modems.begin(), modems.end(),
              [](const auto& a, const auto& b) { return OlderPath(a.first, b.first); });
    for (const auto& entry : modems) now.modems.push_back(entry.first);
    MMModem* chosen = nullptr;
    for (const auto& entry : modems) {
        const std::string id = Text(mm_modem_get_equipment_identifier(entry.second));
        const bool bWanted = m_strWantedId.empty()
                                 ? HasSim(Text(mm_modem_get_sim_path(entry.second)))
                                 : id == m_strWantedId;
        if (bWanted) {
            chosen = entry.second;
            now.modemPath = entry.first;
            break;
        }
    }
    // Without a modem that has a SIM, the first modem tells why there is no card.
    if (!chosen && m_strWantedId.empty() && !modems.empty()) {
        chosen = modems.front().second;
        now.modemPath = modems.front().first;
    }

    if (!bService) {
        now.status = ModemStatus::kNoService;
    } else if (!chosen) {
        now.status = ModemStatus::kNoModem;
    } else {
        now.equipmentId = Text(mm_modem_get_equipment_identifier(chosen));
        now.modemState = mm_modem_get_state(chosen);
        now.unlockRequired = mm_modem_get_unlock_required(chosen);
        now.simPath = Text(mm_modem_get_sim_path(chosen));
        if (!HasSim(now.simPath)) {
            now.status = ModemStatus::kNoSim;
            now.simPath.clear();
        } else if (MMSim* sim = SimOf(chosen, now.simPath)) {
            now.imsi = Text(mm_sim_get_imsi(sim));
            now.spn = Text(mm_sim_get_operator_name(sim));
            now.operatorId = Text(mm_sim_get_operator_identifier(sim));
            now.status = now.modemState >= MM_MODEM_STATE_ENABLED && !now.imsi.empty()
                             ? ModemStatus::kReady
                             : ModemStatus::kSimNotReady;
        } else {
            now.status = ModemStatus::kSimNotReady;
            now.bSimUnread = m_failed.count(now.simPath) > 0;
        }
    }
    g_list_free_full(objects, g_object_unref);

    // Only the chosen modem's SIM is kept; a restarted service numbers its objects anew.
    if (!bService) m_failed.clear();
    for (auto it = m_sims.begin(); it != m_sims.end();) {
        if (it->first == now.simPath) {
            ++it;
            continue;
        }
        g_signal_handlers_disconnect_by_data(it->second, this);
        g_object_unref(it->second);
        it = m_sims.erase(it);
    }
    if (m_bTold && now == m_current) return;
    m_bTold = true;
    m_current = now;
    m_onChanged(m_current);
}

#include "WatchNotifier.h"

WatchNotifier::WatchNotifier(HostReport& report)
    : m_report(report), m_pCancel(g_cancellable_new()) {}

WatchNotifier::~WatchNotifier() {
    g_cancellable_cancel(m_pCancel);
    g_object_unref(m_pCancel);
    if (m_pBus) {
        // What was sent reaches the service before the program ends.
        g_dbus_connection_flush_sync(m_pBus, nullptr, nullptr);
        g_object_unref(m_pBus);
    }
}

void WatchNotifier::Start(GDBusConnection* bus) {
    m_pBus = G_DBUS_CONNECTION(g_object_ref(bus));
    SendNext();
}

std::string WatchNotifier::Shown(const std::string& sim) const {
    auto it = m_sims.find(sim);
    return it == m_sims.end() ? std::string() : it->second.key;
}

void WatchNotifier::Show(const std::string& sim, const WatchNotice& notice) {
    if (notice.key.empty()) return;
    Sim& shown = m_sims[sim];
    if (shown.key == notice.key) return;
    shown.key = notice.key;
    m_queue.emplace_back(sim, notice);
    SendNext();
}

void WatchNotifier::SendNext() {
    if (!m_pBus || m_bSending || m_queue.empty()) return;
    const std::string& sim = m_queue.front().first;
    const WatchNotice& notice = m_queue.front().second;
    const bool bGood = notice.key == "signed-in";
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&hints, "{sv}", "category",
                          g_variant_new_string(bGood ? "network.connected" : "network.error"));
    g_variant_builder_add(&hints, "{sv}", "urgency", g_variant_new_byte(1));
    m_bSending = true;
    g_dbus_connection_call(
        m_pBus, "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
        "org.freedesktop.Notifications", "Notify",
        g_variant_new("(susssasa{sv}i)", "loginhost", m_sims[sim].id, notice.icon.c_str(),
                      notice.summary.c_str(), notice.body.c_str(), nullptr, &hints, -1),
        G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, m_pCancel, OnReply, this);
}

void WatchNotifier::OnReply(GObject* source, GAsyncResult* result, void* self) {
    GError* pError = nullptr;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &pError);
    if (!reply && g_error_matches(pError, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
        g_error_free(pError);  // the notifier is gone
        return;
    }
    auto* notifier = static_cast<WatchNotifier*>(self);
    const std::string sim = notifier->m_queue.front().first;
    notifier->m_queue.pop_front();
    notifier->m_bSending = false;
    if (reply) {
        g_variant_get(reply, "(u)", &notifier->m_sims[sim].id);
        g_variant_unref(reply);
    } else {
        if (!notifier->m_bMissingSaid) {
            notifier->m_bMissingSaid = true;
            notifier->m_report.Line("notify", std::string("no notification service on the session "
                                                          "bus (") +
                                                  pError->message + "): notices are not shown");
        }
        g_error_free(pError);
    }
    notifier->SendNext();
}

#include "WatchBus.h"

#include "WatchBusXml.h"

namespace {

GVariant* Value(const WatchBusState& s, const std::string& name) {
    if (name == "State") return g_variant_new_string(s.state.c_str());
    if (name == "ErrorCode") return g_variant_new_int32(s.errorCode);
    if (name == "LoggedIn") return g_variant_new_boolean(s.bLoggedIn);
    if (name == "Modem") return g_variant_new_string(s.modem.c_str());
    if (name == "LastAttempt") return g_variant_new_uint64(s.lastAttempt);
    if (name == "Attempts") return g_variant_new_uint32(s.attempts);
    return nullptr;
}

const char* const kProperties[] = {"State", "ErrorCode",   "LoggedIn",
                                   "Modem", "LastAttempt", "Attempts"};

}  // namespace

WatchBus::~WatchBus() {
    if (m_name) g_bus_unown_name(m_name);
    if (m_object) g_dbus_connection_unregister_object(m_pBus, m_object);
    if (m_pBus) g_object_unref(m_pBus);
}

void WatchBus::Start(GDBusConnection* bus) {
    GError* pError = nullptr;
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kWatchBusXml, &pError);
    if (!node) {  // the build's own text: a fault here is the program's
        m_report.Line("error", std::string("session bus interface: ") + pError->message);
        g_clear_error(&pError);
        return;
    }
    static const GDBusInterfaceVTable kVtable = {nullptr, OnGetProperty, nullptr, {}};
    m_pBus = G_DBUS_CONNECTION(g_object_ref(bus));
    m_object = g_dbus_connection_register_object(
        bus, kWatchBusPath, g_dbus_node_info_lookup_interface(node, kWatchBusInterface), &kVtable,
        this, nullptr, &pError);
    g_dbus_node_info_unref(node);
    if (!m_object) {
        m_report.Line("error", std::string("session bus object: ") + pError->message);
        g_clear_error(&pError);
        return;
    }
    m_name = g_bus_own_name_on_connection(bus, kWatchBusName, G_BUS_NAME_OWNER_FLAGS_NONE, nullptr,
                                          OnNameLost, this, nullptr);
}

GVariant* WatchBus::OnGetProperty(GDBusConnection*, const char*, const char*, const char*,
                                  const char* name, GError** error, void* self) {
    GVariant* value = Value(static_cast<WatchBus*>(self)->m_state, name);
    if (!value) {
        g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "no property %s", name);
    }
    return value;
}

void WatchBus::OnNameLost(GDBusConnection*, const char* name, void* self) {
    auto* bus = static_cast<WatchBus*>(self);
    if (bus->m_bLostSaid) return;
    bus->m_bLostSaid = true;
    bus->m_report.Line("error", std::string("session bus: the name ") + name +
                                    " is another program's (a second watch?); the state is not "
                                    "published there");
}

void WatchBus::Set(const WatchBusState& now) {
    if (now == m_state) return;
    const WatchBusState before = m_state;
    m_state = now;
    if (!m_object) return;
    GVariantBuilder changed;
    g_variant_builder_init(&changed, G_VARIANT_TYPE("a{sv}"));
    for (const char* name : kProperties) {
        GVariant* old = Value(before, name);
        GVariant* value = Value(now, name);
        g_variant_ref_sink(old);
        if (g_variant_equal(old, value)) {
            g_variant_unref(g_variant_ref_sink(value));
        } else {
            g_variant_builder_add(&changed, "{sv}", name, value);
        }
        g_variant_unref(old);
    }
    g_dbus_connection_emit_signal(
        m_pBus, nullptr, kWatchBusPath, "org.freedesktop.DBus.Properties", "PropertiesChanged",
        g_variant_new("(sa{sv}as)", kWatchBusInterface, &changed, nullptr), nullptr);
}

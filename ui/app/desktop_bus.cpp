#include "ui/app/desktop_bus.h"

#include <QDBusMessage>
#include <QDBusMetaType>

#include "core/platform/platform.h"

namespace tellune::ui {

QDBusConnection session_bus_if_announced() {
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return QDBusConnection(QStringLiteral("tellune-no-session-bus"));
    return QDBusConnection::sessionBus();
}

DesktopBus::DesktopBus(QDBusConnection bus, Handlers handlers, QObject* parent)
    : QObject(parent), bus_(std::move(bus)), handlers_(std::move(handlers)) {
    qDBusRegisterMetaType<QList<uint>>();
    if (!bus_.isConnected()) return;
    connected_ = bus_.registerObject(
        kPath, this,
        QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportScriptableSignals);
    if (!connected_) {
        debug_line("D-Bus: object path taken, not reachable by other programs");
        return;
    }
    if (!bus_.registerService(kService)) debug_line("D-Bus: service name taken");
    // Signals of any sender: the programs that take over the lights or ask what we support.
    bus_.connect({}, {}, kInterface, "LightControlNotice", this, SLOT(on_light_notice(int, int)));
    bus_.connect({}, {}, kInterface, "DeviceKindRequest", this, SLOT(on_device_kind_request()));
}

DesktopBus::~DesktopBus() {
    if (!connected_) return;
    bus_.disconnect({}, {}, kInterface, "LightControlNotice", this,
                    SLOT(on_light_notice(int, int)));
    bus_.disconnect({}, {}, kInterface, "DeviceKindRequest", this, SLOT(on_device_kind_request()));
    bus_.unregisterService(kService);
    bus_.unregisterObject(kPath);
}

void DesktopBus::broadcast_light_claim(int wparam, int lparam) {
    if (connected_) emit LightControlClaim(wparam, lparam);
}

QList<uint> DesktopBus::DeviceKinds() {
    return handlers_.device_kinds ? handlers_.device_kinds() : QList<uint>{};
}

void DesktopBus::SettingsMessage(int wparam, int lparam) {
    if (handlers_.settings_message) handlers_.settings_message(wparam, lparam);
}

void DesktopBus::on_light_notice(int wparam, int lparam) {
    if (handlers_.light_notice) handlers_.light_notice(wparam, lparam);
}

void DesktopBus::on_device_kind_request() {
    emit DeviceKindReport(DeviceKinds());
}

}  // namespace tellune::ui

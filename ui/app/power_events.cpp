#include "ui/app/power_events.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>

#include "core/platform/platform.h"

namespace tellune::ui {

QDBusConnection system_bus_if_present() {
    const QByteArray address = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
    if (address.isEmpty() && !QFileInfo::exists("/run/dbus/system_bus_socket"))
        return QDBusConnection(QStringLiteral("tellune-no-system-bus"));
    return QDBusConnection::systemBus();
}

PowerEvents::PowerEvents(QDBusConnection system_bus, std::function<void(bool)> handler,
                         QObject* parent)
    : QObject(parent), bus_(std::move(system_bus)), handler_(std::move(handler)) {
    if (!bus_.isConnected()) return;
    watching_ = bus_.connect(kLogindService, kLogindPath, kLogindManager, "PrepareForSleep", this,
                             SLOT(on_prepare_for_sleep(bool)));
    if (watching_) take_inhibitor();
}

PowerEvents::~PowerEvents() {
    if (watching_)
        bus_.disconnect(kLogindService, kLogindPath, kLogindManager, "PrepareForSleep", this,
                        SLOT(on_prepare_for_sleep(bool)));
}

void PowerEvents::take_inhibitor() {
    if (inhibitor_.isValid()) return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kLogindService, kLogindPath, kLogindManager, "Inhibit");
    call << QStringLiteral("sleep") << QStringLiteral("Tellune")
         << QStringLiteral("Switching the device lights off") << QStringLiteral("delay");
    // Asynchronous: a slow or absent logind must not hold up the window.
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
        w->deleteLater();
        if (reply.isError()) {
            debug_printf("logind: no sleep inhibitor (%s)",
                         reply.error().message().toUtf8().constData());
            return;
        }
        inhibitor_ = reply.value();
    });
}

void PowerEvents::on_prepare_for_sleep(bool suspending) {
    debug_line(suspending ? "logind: preparing for sleep" : "logind: woke up");
    if (handler_) handler_(suspending);
    if (suspending)
        inhibitor_ = QDBusUnixFileDescriptor();  // closing our copy lets the machine sleep
    else
        take_inhibitor();
}

}  // namespace tellune::ui

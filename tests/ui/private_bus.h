#pragma once
// A D-Bus daemon of the test's own, so tests talk to the program over a real bus without
// touching the machine's session or system bus.

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace tellune::ui::test {

class PrivateBus {
public:
    PrivateBus() {
        daemon_.start("dbus-daemon",
                      {"--session", "--nofork", "--print-address=1", "--address=unix:tmpdir=/tmp"});
        if (!daemon_.waitForStarted(5000)) return;
        while (!daemon_.canReadLine() && daemon_.waitForReadyRead(5000)) {
        }
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
    ~PrivateBus() {
        for (const QString& name : names_) QDBusConnection::disconnectFromBus(name);
        daemon_.terminate();
        if (!daemon_.waitForFinished(2000)) daemon_.kill();
        daemon_.waitForFinished(2000);
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool running() const { return !address_.isEmpty(); }
    // A new connection to this bus, with a unique name of its own.
    QDBusConnection connect(const QString& role) {
        static int serial = 0;
        const QString name = QStringLiteral("tellune-test-%1-%2").arg(role).arg(++serial);
        names_ << name;
        return QDBusConnection::connectToBus(address_, name);
    }

private:
    QProcess daemon_;
    QString address_;
    QStringList names_;
};

}  // namespace tellune::ui::test

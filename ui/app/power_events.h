#pragma once
// Suspend and resume, from systemd-logind's PrepareForSleep signal on the system bus. While
// watching, a "delay" sleep inhibitor is held, so the handler can switch the device lights off
// before the machine sleeps; it is released once the handler ran and taken again on resume.
// Without a system bus (or logind) nothing happens.

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <functional>

namespace tellune::ui {

class PowerEvents : public QObject {
    Q_OBJECT
public:
    static constexpr char kLogindService[] = "org.freedesktop.login1";
    static constexpr char kLogindPath[] = "/org/freedesktop/login1";
    static constexpr char kLogindManager[] = "org.freedesktop.login1.Manager";

    // `handler(true)` before sleeping, `handler(false)` after waking.
    PowerEvents(QDBusConnection system_bus, std::function<void(bool suspending)> handler,
                QObject* parent = nullptr);
    ~PowerEvents() override;
    bool watching() const { return watching_; }
    bool holds_inhibitor() const { return inhibitor_.isValid(); }

private slots:
    void on_prepare_for_sleep(bool suspending);

private:
    void take_inhibitor();

    QDBusConnection bus_;
    std::function<void(bool)> handler_;
    QDBusUnixFileDescriptor inhibitor_;
    bool watching_ = false;
};

// The system bus when its socket is there, else a disconnected connection.
QDBusConnection system_bus_if_present();

}  // namespace tellune::ui

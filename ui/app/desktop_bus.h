#pragma once
// The program on the D-Bus session bus, where other programs reach it: service
// "org.tellune.Tellune", object "/org/tellune/Shell", interface "org.tellune.Shell".
//   signal LightControlClaim(i wparam, i lparam)  we take (1) or leave (0) the device lights
//   signal LightControlNotice(i, i)                from another program: it takes or leaves them
//   method DeviceKinds() -> au                     the device-kind report
//   signal DeviceKindRequest()                     from anyone: answered by DeviceKindReport(au)
//   method SettingsMessage(i wparam, i lparam)     handed unchanged to the settings window
// Without a session bus nothing is registered and every call does nothing.

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <functional>

namespace tellune::ui {

class DesktopBus : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.tellune.Shell")
public:
    static constexpr char kService[] = "org.tellune.Tellune";
    static constexpr char kPath[] = "/org/tellune/Shell";
    static constexpr char kInterface[] = "org.tellune.Shell";

    struct Handlers {
        std::function<void(int wparam, int lparam)> light_notice;
        std::function<void(int wparam, int lparam)> settings_message;
        std::function<QList<uint>()> device_kinds;
    };

    DesktopBus(QDBusConnection bus, Handlers handlers, QObject* parent = nullptr);
    ~DesktopBus() override;
    bool connected() const { return connected_; }
    void broadcast_light_claim(int wparam, int lparam);

public slots:
    Q_SCRIPTABLE QList<uint> DeviceKinds();
    Q_SCRIPTABLE void SettingsMessage(int wparam, int lparam);

signals:
    Q_SCRIPTABLE void LightControlClaim(int wparam, int lparam);
    Q_SCRIPTABLE void DeviceKindReport(const QList<uint>& words);

private slots:
    void on_light_notice(int wparam, int lparam);
    void on_device_kind_request();

private:
    QDBusConnection bus_;
    Handlers handlers_;
    bool connected_ = false;
};

// The session bus when one is announced (asking libdbus otherwise may start one), else a
// disconnected connection.
QDBusConnection session_bus_if_announced();

}  // namespace tellune::ui

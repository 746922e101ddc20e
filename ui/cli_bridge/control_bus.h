#pragma once
// tellunectl's way into the running program, which holds the devices while it runs: object
// "/org/tellune/Control", interface "org.tellune.Control" on the program's session-bus
// connection (service "org.tellune.Tellune").
//   method ListDevices() -> s                      the connected devices, JSON as `list --json`
//   method Apply(s path, s request) -> (i, s)     a setting request (JSON) for the device at
//                                                  `path`; exit code and, on failure, why
//   method Profile(s path, as args) -> (i, s)     a profile command; exit code and output
//   method Macro(s path, as args) -> (i, s)       "import FILE" into the device's macro
//                                                  library; exit code and the new name or why
//   method Keys(s path) -> (i, s)                 the keys whose function may be changed
//                                                  (JSON array of key indices), or why not
// Each request does what the device page does for the same change: profile saved, device
// written, page refreshed. Requests are checked again here: any program may call.

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>

namespace tellune::ui {

class CMainWnd;
class CTarvexUSBDevice;

class ControlBus : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.tellune.Control")
public:
    static constexpr char kPath[] = "/org/tellune/Control";
    static constexpr char kInterface[] = "org.tellune.Control";

    ControlBus(QDBusConnection bus, CMainWnd& wnd, QObject* parent = nullptr);
    ~ControlBus() override;
    bool connected() const { return connected_; }

public slots:
    Q_SCRIPTABLE QString ListDevices();
    Q_SCRIPTABLE int Apply(const QString& path, const QString& request, QString& message);
    Q_SCRIPTABLE int Profile(const QString& path, const QStringList& args, QString& output);
    Q_SCRIPTABLE int Macro(const QString& path, const QStringList& args, QString& output);
    Q_SCRIPTABLE int Keys(const QString& path, QString& keys);

private:
    // The connected page whose interface path is `path`, or nullptr.
    CTarvexUSBDevice* page_at(const QString& path) const;
    // The page a request names, or nullptr with the exit code and why not (one line).
    CTarvexUSBDevice* request_page(const QString& path, int& code, QString& why) const;

    QDBusConnection bus_;
    CMainWnd& wnd_;
    bool connected_ = false;
};

}  // namespace tellune::ui

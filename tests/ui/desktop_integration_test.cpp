// The program among the other programs of a Linux desktop: the session-bus interface that
// other programs use (light control, device kinds, settings messages), suspend and resume
// announced by logind on the system bus, and the notice for a device the user may not open.
// Each talks over a private dbus-daemon; a fake logind stands in for the real one.

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QLabel>
#include <filesystem>
#include <vector>

#include "core/hid/hidraw_backend.h"
#include "emulator/products.h"
#include "private_bus.h"
#include "program_test.h"
#include "test_support/fake_sysfs.h"
#include "test_support/wait.h"
#include "ui/app/desktop_bus.h"
#include "ui/app/device_option.h"
#include "ui/app/messages.h"
#include "ui/app/power_events.h"
#include "ui/device/tarvex_usb_device.h"

namespace tellune::ui {
namespace {

// logind as far as the program uses it: Inhibit hands out one end of a pipe; the inhibitor is
// released when every copy of that end is closed, which the other end sees as a hang-up.
class FakeLogind : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    ~FakeLogind() override {
        for (int fd : held_) ::close(fd);
    }
    int inhibits() const { return int(held_.size()); }
    bool released(int n) const {
        pollfd p{held_[size_t(n)], POLLIN, 0};
        return ::poll(&p, 1, 0) == 1 && (p.revents & POLLHUP);
    }
    std::vector<QString> modes;

public slots:
    Q_SCRIPTABLE QDBusUnixFileDescriptor Inhibit(const QString& what, const QString&,
                                                 const QString&, const QString& mode) {
        int fds[2];
        if (::pipe(fds) != 0) return {};
        held_.push_back(fds[0]);
        modes.push_back(what + "/" + mode);
        QDBusUnixFileDescriptor out(fds[1]);  // a copy of its own goes out with the reply
        ::close(fds[1]);
        return out;
    }

private:
    std::vector<int> held_;
};

// Collects the signals of the program's interface as a client sees them.
class SignalLog : public QObject {
    Q_OBJECT
public:
    std::vector<QDBusMessage> messages;
    std::vector<QDBusMessage> named(const QString& member) const {
        std::vector<QDBusMessage> out;
        for (const QDBusMessage& m : messages)
            if (m.member() == member) out.push_back(m);
        return out;
    }
public slots:
    void record(const QDBusMessage& m) { messages.push_back(m); }
};

// A settings window as a later extension provides it: takes the forwarded messages.
class SettingsStandIn : public ShellExtension {
public:
    explicit SettingsStandIn(std::vector<std::pair<int, int>>* got) : got_(got) {}
    bool forward_to_settings(int wparam, int lparam) override {
        got_->emplace_back(wparam, lparam);
        return true;
    }

private:
    std::vector<std::pair<int, int>>* got_;
};

QList<uint> words(const QVariant& v) {
    return qdbus_cast<QList<uint>>(v);
}

class DesktopIntegration : public test::ProgramTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus_.running()) << "dbus-daemon did not start";
        client_ = bus_.connect("client");
        ASSERT_TRUE(client_.isConnected());
        for (const char* member : {"LightControlClaim", "DeviceKindReport"})
            client_.connect({}, DesktopBus::kPath, DesktopBus::kInterface, member, &log_,
                            SLOT(record(QDBusMessage)));
    }
    // The window with its buses on the private daemon (one daemon serves as both).
    void start_on_private_bus() {
        backend_->plug(mouse_);
        open_window();
        ASSERT_SOON(mouse_page() && mouse_page()->Config().IsOpen(), 5000);
        wnd_->attach_buses(bus_.connect("session"), bus_.connect("system"));
        ASSERT_TRUE(wnd_->desktop_bus()->connected());
    }
    CTarvexUSBDevice* mouse_page() const {
        if (!pages_) return nullptr;
        for (CTarvexUSBDevice* page : pages_->Pages())
            if (page->Kind() == hid::kKindMouse) return page;
        return nullptr;
    }
    // A method call of the client, answered by the window on this same thread meanwhile.
    QDBusMessage call(const QDBusMessage& message) {
        QDBusPendingCall pending = client_.asyncCall(message, 5000);
        tellune::test::wait_until([&] { return pending.isFinished(); }, 6000);
        return pending.reply();
    }
    void send_signal(const char* path, const char* interface, const char* member,
                     const QVariantList& args, QDBusConnection& from) {
        QDBusMessage signal = QDBusMessage::createSignal(path, interface, member);
        signal.setArguments(args);
        ASSERT_TRUE(from.send(signal));
    }

    test::PrivateBus bus_;
    QDBusConnection client_{QString()};
    SignalLog log_;
    std::shared_ptr<emulator::EmulatedDevice> mouse_ = emulator::make_mouse();
};

TEST_F(DesktopIntegration, OtherProgramsAskForDeviceKindsAndTakeTheLights) {
    start_on_private_bus();
    const QList<uint> report = {2,      3,      0, 2, 4,  //
                                0x0C45, 0x7643, 2,        // mouse
                                0,      0,      1,        // keyboard
                                0x320F, 0x1004, 3,        // mouse pad
                                0,      0,      7};       // headset
    // As a method call...
    QDBusMessage call = QDBusMessage::createMethodCall(DesktopBus::kService, DesktopBus::kPath,
                                                       DesktopBus::kInterface, "DeviceKinds");
    QDBusMessage reply = this->call(call);
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(reply.signature(), "au");
    EXPECT_EQ(words(reply.arguments().value(0)), report);
    // ...and as the broadcast request, answered by a broadcast report.
    send_signal("/", DesktopBus::kInterface, "DeviceKindRequest", {}, client_);
    ASSERT_SOON(log_.named("DeviceKindReport").size() == 1, 5000);
    EXPECT_EQ(words(log_.named("DeviceKindReport")[0].arguments().value(0)), report);

    // Another program takes the lights: the state and its switch follow, nothing is claimed.
    ASSERT_TRUE(wnd_->light_control());
    send_signal("/", DesktopBus::kInterface, "LightControlNotice", {1, 0}, client_);
    ASSERT_SOON(!wnd_->light_control(), 5000);
    EXPECT_FALSE(mouse_page()->IsLightOutputEnabled());
    EXPECT_TRUE(log_.named("LightControlClaim").empty());
    // A notice with another first word is not a light-control notice.
    send_signal("/", DesktopBus::kInterface, "LightControlNotice", {0, 1}, client_);
    // The user takes them back with the switch: the claim goes out.
    wnd_->control<QAbstractButton>("control_light_status")->click();
    ASSERT_SOON(log_.named("LightControlClaim").size() == 1, 5000);
    const QDBusMessage claim = log_.named("LightControlClaim")[0];
    EXPECT_EQ(claim.arguments(), (QVariantList{1, 1}));
    EXPECT_TRUE(wnd_->light_control());
    EXPECT_TRUE(mouse_page()->IsLightOutputEnabled());
}

TEST_F(DesktopIntegration, SettingsMessagesReachTheSettingsWindowWhenThereIsOne) {
    start_on_private_bus();
    test::DebugCapture debug;
    QDBusMessage call = QDBusMessage::createMethodCall(DesktopBus::kService, DesktopBus::kPath,
                                                       DesktopBus::kInterface, "SettingsMessage");
    call << 5 << 7;
    ASSERT_EQ(this->call(call).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(debug.contains("settings message 5 7: no settings window"));

    std::vector<std::pair<int, int>> got;
    wnd_->add_extension(std::make_unique<SettingsStandIn>(&got));
    call.setArguments({-3, 1 << 20});
    ASSERT_EQ(this->call(call).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(got, (std::vector<std::pair<int, int>>{{-3, 1 << 20}}));
}

// Suspend: lights off and the inhibitor released; a mouse that goes away while asleep and
// comes back on resume is bound again; resume re-applies the light control and re-inhibits.
TEST_F(DesktopIntegration, SuspendAndResumeFromLogind) {
    QDBusConnection logind = bus_.connect("logind");
    FakeLogind fake;
    ASSERT_TRUE(logind.registerObject(PowerEvents::kLogindPath, &fake,
                                      QDBusConnection::ExportScriptableSlots));
    ASSERT_TRUE(logind.registerService(PowerEvents::kLogindService));
    start_on_private_bus();
    ASSERT_TRUE(wnd_->power_events()->watching());
    ASSERT_SOON(fake.inhibits() == 1 && wnd_->power_events()->holds_inhibitor(), 5000);
    EXPECT_EQ(fake.modes, std::vector<QString>{"sleep/delay"});
    EXPECT_FALSE(fake.released(0));

    const auto sleep = [&](bool start) {
        send_signal(PowerEvents::kLogindPath, PowerEvents::kLogindManager, "PrepareForSleep",
                    {start}, logind);
    };
    sleep(true);
    ASSERT_SOON(!wnd_->running(), 5000);
    for (CTarvexUSBDevice* page : pages_->Pages()) EXPECT_FALSE(page->IsLightOutputEnabled());
    ASSERT_SOON(fake.released(0), 5000);
    // Asleep, the window ignores what is not about devices coming and going.
    wnd_->handle_message(kMsgShowProgress, 0, 0);
    EXPECT_FALSE(wnd_->control("setting_progress")->isVisibleTo(wnd_.get()));

    CDeviceOptionUI* entry = pages_->EntryOf(mouse_page());
    ASSERT_NE(entry, nullptr);
    backend_->unplug(mouse_);
    ASSERT_SOON(!entry->IsPresent() && !mouse_page()->Config().IsOpen(), 5000);
    backend_->plug(mouse_);
    ASSERT_SOON(entry->IsPresent() && mouse_page()->Config().IsOpen(), 5000);

    sleep(false);
    ASSERT_SOON(wnd_->running(), 5000);
    for (CTarvexUSBDevice* page : pages_->Pages()) EXPECT_TRUE(page->IsLightOutputEnabled());
    ASSERT_SOON(fake.inhibits() == 2 && wnd_->power_events()->holds_inhibitor(), 5000);
    EXPECT_FALSE(fake.released(1));
}

TEST_F(DesktopIntegration, WithoutBusesNothingIsRegisteredAndNothingBreaks) {
    backend_->plug(mouse_);
    open_window();
    wnd_->attach_buses(QDBusConnection(QStringLiteral("no-such-bus")),
                       QDBusConnection(QStringLiteral("no-such-bus")));
    EXPECT_FALSE(wnd_->desktop_bus()->connected());
    EXPECT_FALSE(wnd_->power_events()->watching());
    wnd_->control<QAbstractButton>("control_light_status")->click();
    EXPECT_FALSE(wnd_->light_control());
}

// A mouse whose hidraw node this user may not open: the "No device" panel names the node and
// the fix, and the log says it too; the notice goes with the device.
TEST_F(DesktopIntegration, ARefusedDeviceIsNamedOnTheNoDevicePanel) {
    hid::FakeSysfs sysfs;
    hid::Bytes four = hid::kTwoCollections;
    four.insert(four.end(), hid::kTwoCollections.begin(), hid::kTwoCollections.end());
    sysfs.Add(4, "0003:00000C45:00007643", 1, four);
    hid::HidrawOptions options;
    options.sysfs_root = sysfs.class_root();
    options.device_folder = sysfs.dev();
    options.open_node = [](const std::string&, int) {
        errno = EACCES;
        return -1;
    };
    const std::string node = sysfs.dev() + "/hidraw4";
    hid::write_file(node, "");
    test::DebugCapture debug;
    open_window(std::make_shared<hid::HidrawBackend>(options));
    auto* notice = wnd_->control<QLabel>("nodevice_access_text");
    ASSERT_NE(notice, nullptr);
    EXPECT_FALSE(notice->isVisibleTo(wnd_.get()));
    // After the settle time that udev gets to set the rights.
    ASSERT_SOON(notice->isVisibleTo(wnd_.get()), 5000);
    EXPECT_TRUE(wnd_->control("No_device_Link")->isVisibleTo(wnd_.get()));
    EXPECT_TRUE(notice->text().contains(QString::fromStdString(node)));
    EXPECT_TRUE(notice->text().contains("70-tellune.rules"));
    bool logged = false;
    for (const std::string& line : debug.lines())
        logged |= line.find(node + " may not be opened") != std::string::npos;
    EXPECT_TRUE(logged);

    std::filesystem::remove_all(std::filesystem::path(sysfs.class_root()) / "hidraw4");
    std::filesystem::remove(node);
    ASSERT_SOON(!notice->isVisibleTo(wnd_.get()), 5000);
}

}  // namespace
}  // namespace tellune::ui

#include "desktop_integration_test.moc"

// The device selector and the device pages, end to end over the emulated devices: the main
// window scans an EmulatedBackend, binds the devices to their pages and follows plugging.

#include "ui/app/device_pages.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QProgressBar>
#include <QStackedWidget>
#include <QTest>
#include <chrono>

#include "emulator/emulated_backend.h"
#include "emulator/products.h"
#include "test_support/temp_dir.h"
#include "test_support/wait.h"
#include "ui/app/device_option.h"
#include "ui/app/language.h"
#include "ui/app/main_wnd.h"
#include "ui/app/messages.h"
#include "ui/app/text_table.h"
#include "ui/controls/custom_controls.h"
#include "ui/device/tarvex_devices.h"
#include "ui_test_support.h"

namespace tellune::ui {
namespace {

using namespace std::chrono_literals;
using emulator::EmulatedBackend;

// --- the selector's two controls on their own ---

class SelectorControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        texts().clear();
        register_device_controls(std::make_shared<EmulatedBackend>());
    }
    void TearDown() override {
        unregister_device_controls();
        texts().clear();
    }
    template <class T>
    std::unique_ptr<T> build(const char* layout) {
        ControlFactory factory(test::shipped_skin());
        QWidget* w = factory.load_layout(layout);
        auto* typed = qobject_cast<T*>(w);
        if (!typed) delete w;
        return std::unique_ptr<T>(typed);
    }
};

TEST_F(SelectorControlsTest, IconTableByKindAndVariant) {
    EXPECT_EQ(device_icon_prefix(1, 0), "kb");
    EXPECT_EQ(device_icon_prefix(2, 0), "ms");
    EXPECT_EQ(device_icon_prefix(3, 0), "hard_mp");
    EXPECT_EQ(device_icon_prefix(3, 1), "soft_mp");
    EXPECT_EQ(device_icon_prefix(3, 2), "");
    EXPECT_EQ(device_icon_prefix(4, 0), "hd");
    EXPECT_EQ(device_icon_prefix(7, 5), "hd");
    EXPECT_EQ(device_icon_prefix(5, 0), "hub");
    EXPECT_EQ(device_icon_prefix(6, 0), "unknow");
    EXPECT_EQ(device_icon_prefix(0, 0), "unknow");

    auto entry = build<CDeviceOptionUI>("XML/CustomControlXML/DeviceOption.ui");
    ASSERT_NE(entry, nullptr);
    ASSERT_NE(entry->SelectButton(), nullptr);
    entry->SetKindAndVariant(2, 0);
    EXPECT_EQ(entry->ImageName(CDeviceOptionUI::kNormal), "common/device_ico/ms_device_normal.png");
    EXPECT_EQ(entry->ImageName(CDeviceOptionUI::kSynchroSelected),
              "common/device_ico/ms_device_synchro_selected.png");
    EXPECT_EQ(entry->NameTextId(), "ms_device_name_text");
    EXPECT_FALSE(entry->SelectButton()->icon().isNull());

    // A mouse pad of a variant the table lacks keeps the icons it had from construction.
    auto pad = build<CDeviceOptionUI>("XML/CustomControlXML/DeviceOption.ui");
    pad->SetKindAndVariant(3, 2);
    EXPECT_EQ(pad->Kind(), 3);
    EXPECT_EQ(pad->Variant(), 2);
    EXPECT_EQ(pad->ImageName(CDeviceOptionUI::kNormal),
              "common/device_ico/unknow_device_normal.png");
    EXPECT_EQ(pad->ImageName(CDeviceOptionUI::kSelected),
              "common/device_ico/unknow_device_selected.png");

    // Every icon the table can name is shipped.
    for (const char* prefix : {"kb", "ms", "hard_mp", "soft_mp", "hd", "hub", "unknow"})
        for (const char* suffix : {"_device_normal.png", "_device_selected.png",
                                   "_device_synchro_normal.png", "_device_synchro_selected.png"})
            EXPECT_TRUE(
                QFile::exists(test::shipped_skin() + "images/common/device_ico/" + prefix + suffix))
                << prefix << suffix;
}

TEST_F(SelectorControlsTest, SynchronisedCheckSwitchesTheImages) {
    auto entry = build<CDeviceOptionUI>("XML/CustomControlXML/DeviceOption.ui");
    ASSERT_NE(entry, nullptr);
    entry->SetKindAndVariant(7, 0);
    EXPECT_EQ(entry->SelectButton()->property("iconimage").toString(),
              "common/device_ico/hd_device_normal.png");
    entry->SetSynchronised(true);
    EXPECT_TRUE(entry->IsSynchronised());
    EXPECT_EQ(entry->SelectButton()->property("iconimage").toString(),
              "common/device_ico/hd_device_synchro_normal.png");
    entry->SetSynchronised(false);
    EXPECT_EQ(entry->SelectButton()->property("iconimage").toString(),
              "common/device_ico/hd_device_normal.png");
    entry->Select(true);
    EXPECT_TRUE(entry->IsSelected());
    entry->SetDisplayName("Mine");
    EXPECT_EQ(entry->NameLabel()->text(), "Mine");
}

TEST_F(SelectorControlsTest, StatusReportShowsLevelChargeLinkAndPhone) {
    auto power = build<CMpDevicePowerUI>("XML/CustomControlXML/MpDevicePower.ui");
    ASSERT_NE(power, nullptr);
    power->show();
    auto* value = power->findChild<QLabel*>("device_power_value");
    auto* progress = power->findChild<QProgressBar*>("device_Power_progress");
    auto* status = power->findChild<QLabel*>("device_power_status");
    auto* wireless = power->findChild<QLabel*>("device_wuxian_logo");
    auto* phone = power->findChild<QLabel*>("device_phone_type");

    power->SetKindAndVariant(2, 0);
    const uint8_t report[6] = {80, 0, 0, 1, 0, 1};
    power->ShowStatus(report, sizeof report);
    EXPECT_EQ(value->text(), "80%");
    EXPECT_EQ(progress->value(), 20);
    EXPECT_TRUE(progress->isVisible());
    EXPECT_EQ(status->property("imagefile").toString(), "power/powered.png");
    EXPECT_TRUE(wireless->isVisible());
    // Phone type only on a mouse pad.
    EXPECT_FALSE(phone->property("imagefile").isValid());

    const uint8_t charging[4] = {15, 1, 0, 0};  // short report: the rest reads as zero
    power->ShowStatus(charging, sizeof charging);
    EXPECT_EQ(value->text(), "15%");
    EXPECT_EQ(progress->value(), 85);
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(status->property("imagefile").toString(), "power/powering.png");
    EXPECT_FALSE(wireless->isVisible());

    power->SetKindAndVariant(3, 0);
    for (auto [type, image] :
         std::vector<std::pair<int, const char*>>{{1, "power/Phone_type_iphone.png"},
                                                  {2, "power/Phone_type_samsung.png"},
                                                  {3, "power/Phone_type_other.png"},
                                                  {0, "power/Phone_type_no_device.png"},
                                                  {9, "power/Phone_type_no_device.png"}}) {
        const uint8_t pad[6] = {100, 2, 0, 0, 0, uint8_t(type)};
        power->ShowStatus(pad, sizeof pad);
        EXPECT_EQ(phone->property("imagefile").toString(), image) << type;
        EXPECT_EQ(status->property("imagefile").toString(), "power/power.png");
        EXPECT_EQ(progress->value(), 0);
    }
    // A level above 100 does not push the bar out of its range.
    const uint8_t odd[1] = {250};
    power->ShowStatus(odd, sizeof odd);
    EXPECT_EQ(value->text(), "250%");
    EXPECT_EQ(progress->value(), 0);
    power->ShowStatus(nullptr, 0);
    EXPECT_EQ(value->text(), "0%");
    EXPECT_EQ(progress->value(), 100);
}

TEST_F(SelectorControlsTest, StatusNeedsAllFiveControls) {
    CMpDevicePowerUI power;
    auto* value = new QLabel("--", &power);
    value->setObjectName("device_power_value");
    const uint8_t report[1] = {50};
    power.ShowStatus(report, 1);
    EXPECT_EQ(value->text(), "--");
}

TEST_F(SelectorControlsTest, EntryWithoutAPageIgnoresItsTimers) {
    auto entry = build<CDeviceOptionUI>("XML/CustomControlXML/DeviceOption.ui");
    entry->StartRefresh();
    EXPECT_TRUE(entry->IsTimerActive(kTimerConnect));
    QTest::qWait(600);
    EXPECT_FALSE(entry->IsTimerActive(kTimerLightPreview));
}

// --- the whole window over the emulator ---

class DevicePagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        texts().clear();
        data_ = std::make_unique<ScopedEnv>("XDG_DATA_HOME", dir_.path().string());
        language_ =
            std::make_unique<LanguageManager>(test::shipped_language_config(), test::shipped_skin(),
                                              QString::fromStdString(dir_.file("tellune.conf")));
        backend_ = std::make_shared<EmulatedBackend>();
    }
    void TearDown() override {
        wnd_.reset();
        texts().clear();
    }
    void start() {
        wnd_ = std::make_unique<CMainWnd>(*language_);
        auto pages = std::make_unique<DevicePages>(backend_);
        pages_ = pages.get();
        wnd_->add_extension(std::move(pages));
        wnd_->set_quit_handler([] {});
        ASSERT_TRUE(wnd_->load());
        wnd_->init();
    }
    CTarvexUSBDevice* page_of_kind(int kind) const {
        for (CTarvexUSBDevice* p : pages_->Pages())
            if (p->GetDeviceIndex() == device_kind_table()[size_t(table_entry(kind))].device_index)
                return p;
        return nullptr;
    }
    static int table_entry(int kind) {
        for (size_t i = 0; i < device_kind_table().size(); ++i)
            if (device_kind_table()[i].kind == kind) return int(i);
        return -1;
    }
    CDeviceOptionUI* entry_of_kind(int kind) const { return pages_->EntryOf(page_of_kind(kind)); }
    QWidget* shown_page() const {
        return wnd_->control<QStackedWidget>("device_switch")->currentWidget();
    }
    bool no_device_shown() const { return wnd_->control("No_device_Link")->isVisible(); }

    TempDir dir_;
    std::unique_ptr<ScopedEnv> data_;
    std::unique_ptr<LanguageManager> language_;
    std::shared_ptr<EmulatedBackend> backend_;
    std::unique_ptr<CMainWnd> wnd_;
    DevicePages* pages_ = nullptr;
};

TEST_F(DevicePagesTest, BuildsOnePageAndHiddenEntryPerKind) {
    start();
    const std::vector<CTarvexUSBDevice*> pages = pages_->Pages();
    ASSERT_EQ(pages.size(), 4u);
    auto* mouse = qobject_cast<CTarvexMouseDevice*>(page_of_kind(2));
    ASSERT_NE(mouse, nullptr);
    EXPECT_EQ(mouse->LedCount(), 8);
    EXPECT_EQ(mouse->KeyCount(), 8);
    EXPECT_EQ(mouse->KindName(), "mouse");
    EXPECT_EQ(mouse->GetDeviceIndex(), 1);
    EXPECT_EQ(mouse->LightName(), "pomex_light");
    for (int i = 0; i < 8; ++i) {
        EXPECT_NE(mouse->KeyButton(i), nullptr) << i;
        EXPECT_NE(mouse->LightButton(i), nullptr) << i;
    }
    auto* keyboard = qobject_cast<CTarvexKeyboardDevice*>(page_of_kind(1));
    ASSERT_NE(keyboard, nullptr);
    EXPECT_EQ(keyboard->GetDeviceIndex(), 0);
    for (int i = 0; i < 126; ++i) {
        ASSERT_NE(keyboard->KeyButton(i), nullptr) << i;
        ASSERT_NE(keyboard->LightButton(i), nullptr) << i;
    }
    auto* pad = qobject_cast<CTarvexMousePadDevice*>(page_of_kind(3));
    ASSERT_NE(pad, nullptr);
    EXPECT_EQ(pad->LedCount(), 15);
    EXPECT_EQ(pad->KeyCount(), 0);
    for (int i = 0; i < 15; ++i) EXPECT_NE(pad->LightButton(i), nullptr) << i;
    auto* headset = qobject_cast<CTarvexHS6533Device*>(page_of_kind(7));
    ASSERT_NE(headset, nullptr);
    EXPECT_EQ(headset->LedCount(), 13);
    for (int i = 0; i < 13; ++i) EXPECT_NE(headset->LightButton(i), nullptr) << i;

    for (CTarvexUSBDevice* page : pages) {
        EXPECT_FALSE(page->Config().IsOpen());
        CDeviceOptionUI* entry = pages_->EntryOf(page);
        ASSERT_NE(entry, nullptr);
        EXPECT_FALSE(entry->IsPresent());
        EXPECT_EQ(entry->Group(), "tab_header_device");
        EXPECT_EQ(entry->GetPageTabName(), "device_switch");
        EXPECT_EQ(wnd_->control<QStackedWidget>("device_switch")->widget(entry->GetPageTabIndex()),
                  page);
        EXPECT_NE(page->PowerWidget(), nullptr);
        EXPECT_NE(page->findChild<QStackedWidget*>("device_function_switch"), nullptr);
        EXPECT_NE(page->findChild<QStackedWidget*>("device_key_function_switch"), nullptr);
    }
    QTest::qWait(300);  // an empty backend: the first pass finds nothing
    EXPECT_EQ(pages_->present_device_count(), 0);
    EXPECT_TRUE(no_device_shown());
    EXPECT_EQ(wnd_->current_page(), nullptr);
}

TEST_F(DevicePagesTest, ArrivalConnectsAndShowsTheFirstDevice) {
    test::DebugCapture debug;
    auto mouse = emulator::make_mouse();
    backend_->plug(mouse);
    start();
    CTarvexUSBDevice* page = page_of_kind(2);
    ASSERT_SOON(page->Config().IsOpen(), 10000);
    CDeviceOptionUI* entry = entry_of_kind(2);
    EXPECT_TRUE(entry->IsPresent());
    EXPECT_TRUE(entry->IsSelected());
    EXPECT_EQ(shown_page(), page);
    EXPECT_EQ(wnd_->current_page(), page);
    EXPECT_FALSE(no_device_shown());
    EXPECT_EQ(page->Kind(), 2);
    EXPECT_FALSE(page->Config().IsWireless());
    EXPECT_FALSE(page->ConnectedSlot().path.empty());
    // The secondary interface of the same mouse reaches the same page.
    ASSERT_SOON(page->Secondary().IsOpen(), 10000);
    EXPECT_TRUE(debug.contains("添加一个鼠标设备"));
    // After the first pass the window comes up; 500 ms after arrival the periodic work starts.
    ASSERT_SOON(wnd_->isVisible(), 10000);
    ASSERT_SOON(entry->IsTimerActive(kTimerLightPreview), 10000);
    // One present device: no synchronised lighting.
    EXPECT_FALSE(entry->IsSynchroEnabled());
}

TEST_F(DevicePagesTest, PluggingFollowsTheSelectorAndSyncControls) {
    test::DebugCapture debug;
    auto mouse = emulator::make_mouse();
    backend_->plug(mouse);
    start();
    CTarvexUSBDevice* mouse_page = page_of_kind(2);
    CTarvexUSBDevice* pad_page = page_of_kind(3);
    ASSERT_SOON(mouse_page->Config().IsOpen(), 10000);
    CDeviceOptionUI* mouse_entry = entry_of_kind(2);
    CDeviceOptionUI* pad_entry = entry_of_kind(3);

    // A second device arrives while the mouse is shown: its entry appears, the mouse stays.
    auto pad = emulator::make_mouse_pad();
    backend_->plug(pad);
    ASSERT_SOON(pad_page->Config().IsOpen(), 10000);
    EXPECT_TRUE(pad_entry->IsPresent());
    EXPECT_TRUE(pad_entry->isVisibleTo(wnd_.get()));
    EXPECT_FALSE(pad_entry->IsSelected());
    EXPECT_EQ(shown_page(), mouse_page);
    EXPECT_TRUE(mouse_entry->IsSelected());
    EXPECT_TRUE(debug.contains("添加一个鼠标垫设备"));
    EXPECT_EQ(pages_->present_device_count(), 2);
    EXPECT_TRUE(mouse_entry->IsSynchroEnabled());
    EXPECT_TRUE(pad_entry->IsSynchroEnabled());

    // The user marks both for synchronised lighting and the lights are paused for it.
    mouse_entry->SynchroCheck()->click();
    pad_entry->SynchroCheck()->click();
    EXPECT_TRUE(mouse_entry->IsSynchronised());
    EXPECT_EQ(mouse_entry->SelectButton()->property("iconimage").toString(),
              "common/device_ico/ms_device_synchro_normal.png");
    mouse_page->Config().SetPause(1);
    pad_page->Config().SetPause(1);

    // Next / previous move the selection between present devices.
    wnd_->control<QAbstractButton>("device_select_next")->click();
    EXPECT_EQ(shown_page(), pad_page);
    EXPECT_TRUE(pad_entry->IsSelected());
    EXPECT_FALSE(mouse_entry->IsSelected());
    wnd_->control<QAbstractButton>("device_select_prev")->click();
    EXPECT_EQ(shown_page(), mouse_page);
    // Clicking an entry shows its page; clicking the shown one keeps it.
    pad_entry->SelectButton()->click();
    EXPECT_EQ(shown_page(), pad_page);
    pad_entry->SelectButton()->click();
    EXPECT_TRUE(pad_entry->IsSelected());
    EXPECT_EQ(shown_page(), pad_page);
    // The name selects as the icon does; a right click and a press dragged off do not.
    QTest::mouseClick(mouse_entry->NameLabel(), Qt::RightButton);
    EXPECT_EQ(shown_page(), pad_page);
    QTest::mousePress(mouse_entry->NameLabel(), Qt::LeftButton);
    QTest::mouseRelease(mouse_entry, Qt::LeftButton, {}, QPoint(-5, -5));
    EXPECT_EQ(shown_page(), pad_page);
    QTest::mouseClick(mouse_entry->NameLabel(), Qt::LeftButton);
    EXPECT_EQ(shown_page(), mouse_page);
    EXPECT_TRUE(mouse_entry->IsSelected());
    EXPECT_FALSE(pad_entry->IsSelected());
    QTest::mouseClick(pad_entry->NameLabel(), Qt::LeftButton);
    EXPECT_EQ(shown_page(), pad_page);

    // Unplugging the shown device switches to the first other present one.
    backend_->unplug(pad);
    ASSERT_SOON(!pad_entry->IsPresent(), 10000);
    EXPECT_FALSE(pad_page->Config().IsOpen());
    // The secondary interface is a slot of its own: its removal comes right after.
    ASSERT_SOON(!pad_page->Secondary().IsOpen(), 10000);
    EXPECT_TRUE(mouse_entry->IsSelected());
    EXPECT_EQ(shown_page(), mouse_page);
    EXPECT_FALSE(no_device_shown());
    EXPECT_TRUE(debug.contains("删除一个鼠标垫设备"));
    // Down to one device: synchronisation off, pauses and marks cleared.
    EXPECT_FALSE(mouse_entry->IsSynchroEnabled());
    EXPECT_EQ(mouse_page->Config().Pause(), 0);
    EXPECT_EQ(pad_page->Config().Pause(), 0);
    EXPECT_FALSE(mouse_entry->IsSynchronised());

    // Unplugging the last one shows the no-device panel.
    backend_->unplug(mouse);
    ASSERT_SOON(!mouse_entry->IsPresent(), 10000);
    EXPECT_TRUE(no_device_shown());
    EXPECT_EQ(wnd_->current_page(), nullptr);
    EXPECT_FALSE(mouse_page->Config().IsOpen());
    EXPECT_FALSE(mouse_entry->IsTimerActive(kTimerLightPreview));
    EXPECT_TRUE(debug.contains("删除一个鼠标设备"));

    // Plugged in again: the same page comes back, connected and shown.
    backend_->plug(mouse);
    ASSERT_SOON(mouse_page->Config().IsOpen(), 10000);
    EXPECT_TRUE(mouse_entry->IsSelected());
    EXPECT_FALSE(no_device_shown());
}

TEST_F(DevicePagesTest, TwoIdenticalMiceBindOnlyTheFirst) {
    auto first = emulator::make_mouse(0);
    auto second = emulator::make_mouse(1);
    backend_->plug(first);
    backend_->plug(second);
    start();
    CTarvexUSBDevice* page = page_of_kind(2);
    ASSERT_SOON(page->Config().IsOpen(), 10000);
    QTest::qWait(300);  // a few more passes
    EXPECT_EQ(pages_->present_device_count(), 1);
    const std::string bound = page->ConnectedSlot().path;
    EXPECT_EQ(bound.rfind("emu/mouse0", 0), 0u) << bound;
    // The first goes: the second takes its place on the next pass.
    backend_->unplug(first);
    ASSERT_SOON(page->ConnectedSlot().path.rfind("emu/mouse1", 0) == 0, 10000);
    ASSERT_SOON(page->Config().IsOpen(), 10000);
    EXPECT_TRUE(entry_of_kind(2)->IsPresent());
}

TEST_F(DevicePagesTest, PageTabsSwitchTheCurrentPagesPanels) {
    backend_->plug(emulator::make_mouse());
    start();
    CTarvexUSBDevice* page = page_of_kind(2);
    ASSERT_SOON(page->Config().IsOpen(), 10000);
    auto* functions = page->findChild<QStackedWidget*>("device_function_switch");
    auto* keys = page->findChild<QStackedWidget*>("device_key_function_switch");
    page->findChild<QAbstractButton*>("macro_Op_tab")->click();
    EXPECT_EQ(page->GetDeviceStatus(), 3);
    EXPECT_EQ(functions->currentIndex(), 1);
    page->findChild<QAbstractButton*>("key_Op_tab")->click();
    EXPECT_EQ(functions->currentIndex(), 0);
    EXPECT_EQ(keys->currentIndex(), 1);
    page->findChild<QAbstractButton*>("system_Op_tab")->click();
    EXPECT_EQ(functions->currentIndex(), 3);
    page->findChild<QAbstractButton*>("deng_Op_tab")->click();
    EXPECT_EQ(functions->currentIndex(), 0);
    EXPECT_EQ(keys->currentIndex(), 0);
}

TEST_F(DevicePagesTest, ShutdownWithDevicesConnectedStopsEveryThreadPromptly) {
    test::DebugCapture debug;
    backend_->plug(emulator::make_mouse());
    backend_->plug(emulator::make_mouse_pad());
    backend_->plug(emulator::make_keyboard());
    backend_->plug(emulator::make_headset());
    start();
    ASSERT_SOON(page_of_kind(2)->Secondary().IsOpen(), 10000);
    ASSERT_SOON(page_of_kind(3)->Secondary().IsOpen(), 10000);
    const auto begin = std::chrono::steady_clock::now();
    wnd_->shutdown();
    wnd_.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 1500ms);
    EXPECT_TRUE(debug.contains("设备扫描线程设定退出"));
    EXPECT_TRUE(debug.contains("MS设备同步线程设定退出"));
    EXPECT_TRUE(debug.contains("MP设备同步线程设定退出"));
    for (const std::string& line : debug.lines())
        EXPECT_EQ(line.find("超时"), std::string::npos) << line;
}

TEST_F(DevicePagesTest, ScanKeepsRunningWhileDevicesComeAndGo) {
    start();
    auto mouse = emulator::make_mouse();
    for (int i = 0; i < 3; ++i) {
        backend_->plug(mouse);
        ASSERT_SOON(page_of_kind(2)->Config().IsOpen(), 10000);
        backend_->unplug(mouse);
        ASSERT_SOON(!entry_of_kind(2)->IsPresent(), 10000);
    }
    EXPECT_TRUE(no_device_shown());
    // Shutting down while the scanner may be waiting for the interface thread.
    backend_->plug(mouse);
    wnd_->shutdown();
}

}  // namespace
}  // namespace tellune::ui

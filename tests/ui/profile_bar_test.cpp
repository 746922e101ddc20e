// The profile bar on a device page, driven through the main window by control name: the bar
// built from its layout, the profile buttons, the choice in the drop-down list and timer
// 1055, which must run the page's operations in their fixed order.

#include "ui/profile/profile_bar.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/platform/files.h"
#include "core/profile/device_folders.h"
#include "core/profile/json_file.h"
#include "core/profile/profile_data.h"
#include "emulator/emulated_backend.h"
#include "test_support/temp_dir.h"
#include "test_support/wait.h"
#include "ui/app/control_factory.h"
#include "ui/app/language.h"
#include "ui/app/main_wnd.h"
#include "ui/app/messages.h"
#include "ui/app/text_table.h"
#include "ui/device/tarvex_usb_device.h"
#include "ui/profile/device_profile_ui.h"
#include "ui_test_support.h"

namespace tellune::ui {
namespace {

namespace fs = std::filesystem;

// A device page that records the operations the shell asks of it.
class RecordingDevice : public CTarvexUSBDevice {
public:
    RecordingDevice(int kind, QWidget* parent)
        : CTarvexUSBDevice(std::make_shared<emulator::EmulatedBackend>(), parent) {
        SetKind(kind);
        SetProfileData(std::make_unique<CBasicProfiledata>());
    }
    void reload_profile() override {
        calls.push_back("reload_profile");
        path_at_reload = ProfileData()->profile_path();
    }
    void check_macro_keys() override { calls.push_back("check_macro_keys"); }
    void refresh_page() override { calls.push_back("refresh_page"); }
    int write_settings(int a, int b, int c, int d, int e) override {
        calls.push_back("write_settings");
        EXPECT_EQ(a | b | c | d | e, 0);
        return 1;
    }
    int write_macros() override {
        calls.push_back("write_macros");
        return macro_result;
    }
    void restore_default_profile() override { calls.push_back("restore_default_profile"); }

    std::vector<std::string> calls;
    std::string path_at_reload;
    int macro_result = 0;
};

class FakePages : public ShellExtension {
public:
    QWidget* current_page() const override { return page; }
    QWidget* page = nullptr;
};

const std::vector<std::string> kApplyOrder = {"reload_profile", "check_macro_keys", "refresh_page",
                                              "write_settings", "write_macros"};

class ProfileBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_.file("program/DefaultData"));
        for (const char* name : {"mouse.Json", "HD.Json"})
            ASSERT_TRUE(write_json_file(dir_.file("program/DefaultData/") + name,
                                        parse(R"({"profilename": "d", "profileUUID": "d",
                                                  "Device": [{"LightInfo": {"Light": 4}}]})")));
        texts().clear();
        language_ =
            std::make_unique<LanguageManager>(test::shipped_language_config(), test::shipped_skin(),
                                              QString::fromStdString(dir_.file("tellune.conf")));
        wnd_ = std::make_unique<CMainWnd>(*language_);
        auto pages = std::make_unique<FakePages>();
        pages_ = pages.get();
        wnd_->add_extension(std::move(pages));
        bars_ = install_profile_bar(*wnd_);
        bars_->set_message_function([this](QWidget*, const QString& id, int buttons) {
            asked_.push_back(id.toStdString());
            EXPECT_EQ(buttons, id == "message_text_22" ? 1 : 0);
            return answer_;
        });
        bars_->set_path_chooser([this](QWidget*, bool save) {
            ++dialogs_;
            return save ? export_path_ : import_path_;
        });
        ASSERT_TRUE(wnd_->load());
        for (auto [tag, kind] : {std::pair{"TarvexMouseDevice", kDeviceMouse},
                                 std::pair{"TarvexHS6533Device", kDeviceHeadset}})
            ControlFactory::register_tag(
                tag, [kind](QWidget* parent, const QString&, ControlFactory&) -> QWidget* {
                    return new RecordingDevice(kind, parent);
                });
    }
    void TearDown() override {
        ControlFactory::unregister_tag("TarvexMouseDevice");
        ControlFactory::unregister_tag("TarvexHS6533Device");
        built_.clear();
        wnd_.reset();
        unregister_profile_controls();
        texts().clear();
    }
    static Json::Value parse(const char* text) {
        Json::Value v;
        Json::Reader().parse(text, v, false);
        return v;
    }
    // A device page from the shipped layout, attached to the window's notifications.
    RecordingDevice* build_page(const char* layout) {
        ControlFactory factory(test::shipped_skin());
        std::unique_ptr<QWidget> page(factory.load_layout(layout));
        auto* device = dynamic_cast<RecordingDevice*>(page.get());
        if (!device) return nullptr;
        wnd_->pump().attach(device);
        built_.push_back(std::move(page));
        return device;
    }
    // Shows `layout` as the current page; its bar is started by the first handler.
    RecordingDevice* show_page(const char* layout = "XML/DeviceXml/mousedevice.ui") {
        RecordingDevice* device = build_page(layout);
        pages_->page = device;
        return device;
    }
    template <class T = QAbstractButton>
    T* control(QWidget* page, const char* name) {
        return page->findChild<T*>(QLatin1String(name));
    }
    void click(QWidget* page, const char* name) {
        QAbstractButton* button = control(page, name);
        ASSERT_NE(button, nullptr) << name;
        button->click();
    }
    std::string user_folder(const char* kind = "mouse") const {
        return dir_.file("home/DURID EZAZU ZAPHIRA - TELLUNE/") + kind + "/";
    }
    Json::Value list_doc(const char* kind = "mouse") const {
        return read_json(user_folder(kind) + "ProfileList.ini");
    }
    static std::vector<std::string> items(QComboBox* box) {
        std::vector<std::string> out;
        for (int i = 0; i < box->count(); ++i) {
            out.push_back(box->itemText(i).toStdString());
            EXPECT_EQ(box->itemData(i).toString(), box->itemText(i));
        }
        return out;
    }

    TempDir dir_;
    ScopedEnv data_{"TELLUNE_DATA_DIR", dir_.file("program")};
    ScopedEnv xdg_{"XDG_DATA_HOME", dir_.file("home")};
    std::unique_ptr<LanguageManager> language_;
    std::unique_ptr<CMainWnd> wnd_;
    FakePages* pages_ = nullptr;
    ProfileBar* bars_ = nullptr;
    std::vector<std::unique_ptr<QWidget>> built_;
    std::vector<std::string> asked_;
    int answer_ = 1;
    int dialogs_ = 0;
    QString import_path_, export_path_;
};

TEST_F(ProfileBarTest, TheFactoryBuildsTheBarFromItsLayout) {
    ControlFactory factory(test::shipped_skin());
    std::unique_ptr<QWidget> root(factory.load_layout("XML/CustomControlXML/DeviceProfile.ui"));
    auto* bar = qobject_cast<CDeviceProfileUI*>(root.get());
    ASSERT_NE(bar, nullptr);
    ASSERT_NE(bar->combo(), nullptr);
    ASSERT_NE(bar->name_edit(), nullptr);
    ASSERT_NE(bar->menu(), nullptr);
    EXPECT_FALSE(bar->menu_shown());
    for (const char* name : {"device_add_btn", "device_sub_btn", "device_copy_btn",
                             "device_import_btn", "device_export_btn", "device_reset_btn"})
        EXPECT_NE(bar->menu()->findChild<QAbstractButton*>(name), nullptr) << name;
    for (const char* name : {"device_profile_edit_save_btn", "profile_fun_spread_btn"}) {
        auto* button = bar->findChild<QAbstractButton*>(name);
        ASSERT_NE(button, nullptr) << name;
        EXPECT_FALSE(button->isCheckable()) << name;  // a click only, no "selectchanged"
    }
    // Alone it has no page: no kind, no folder, nothing to start.
    EXPECT_FALSE(ProfileBar::start_bar(bar));
    EXPECT_EQ(bar->tab(1), nullptr);

    // On a page, through the page layout's "DeviceProfileUI" sub-layout, the tabs are the page's.
    RecordingDevice* page = build_page("XML/DeviceXml/mousedevice.ui");
    ASSERT_NE(page, nullptr);
    CDeviceProfileUI* on_page = find_profile_bar(page);
    ASSERT_NE(on_page, nullptr);
    for (int n = 1; n <= CDeviceProfileUI::kTabCount; ++n) ASSERT_NE(on_page->tab(n), nullptr) << n;
    EXPECT_EQ(on_page->tab(1)->objectName(), "deng_Op_tab");
    EXPECT_EQ(on_page->tab(8)->objectName(), "Virtual7.1_Op_tab");
    EXPECT_EQ(on_page->tab(0), nullptr);
    EXPECT_EQ(on_page->tab(9), nullptr);
}

TEST_F(ProfileBarTest, AddRenameCopyAndDeleteByClicks) {
    RecordingDevice* page = show_page();
    ASSERT_NE(page, nullptr);
    auto* combo = control<QComboBox>(page, "device_profile_combo");
    auto* edit = control<QLineEdit>(page, "device_profile_name_edit");
    ASSERT_TRUE(combo && edit);

    click(page, "device_add_btn");
    EXPECT_EQ(items(combo), (std::vector<std::string>{"profile1", "profile2"}));
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(edit->text(), "profile1");
    EXPECT_EQ(list_doc()["profilelist"].size(), 2u);
    EXPECT_EQ(combo->itemData(1, Qt::SizeHintRole).toSize().height(), 30);

    edit->setText("  ");
    click(page, "device_profile_edit_save_btn");
    edit->setText("PROFILE2");
    click(page, "device_profile_edit_save_btn");
    EXPECT_EQ(asked_, (std::vector<std::string>{"message_text_25", "message_text_5"}));
    edit->setText("Game");
    click(page, "device_profile_edit_save_btn");
    EXPECT_EQ(asked_.size(), 2u);
    EXPECT_EQ(items(combo), (std::vector<std::string>{"Game", "profile2"}));
    EXPECT_EQ(list_doc()["profilelist"][0]["profilename"].asString(), "Game");

    click(page, "device_copy_btn");
    EXPECT_EQ(items(combo), (std::vector<std::string>{"Game", "profile2", "Game copy"}));

    // Deleting moves to the neighbour and has the device load it.
    page->calls.clear();
    {
        const QSignalBlocker quiet(combo);
        combo->setCurrentIndex(2);
    }
    find_profile_bar(page)->select(2, false);
    click(page, "device_sub_btn");
    EXPECT_EQ(items(combo), (std::vector<std::string>{"Game", "profile2"}));
    EXPECT_EQ(combo->currentIndex(), 1);
    EXPECT_EQ(edit->text(), "profile2");
    EXPECT_EQ(list_doc()["profileselect"].asInt(), 1);
    EXPECT_TRUE(wnd_->timer_active(kTimerApplyProfile));
    ASSERT_EQ_SOON(page->calls.size(), kApplyOrder.size(), 3000);
    EXPECT_EQ(page->calls, kApplyOrder);

    click(page, "device_sub_btn");
    click(page, "device_sub_btn");  // the last one stays
    EXPECT_EQ(items(combo), (std::vector<std::string>{"Game"}));
    EXPECT_EQ(list_doc()["profilelist"].size(), 1u);
}

TEST_F(ProfileBarTest, ChoosingAProfileAppliesItAfterTheTimerInOrder) {
    RecordingDevice* page = show_page();
    ASSERT_NE(page, nullptr);
    click(page, "device_add_btn");
    auto* combo = control<QComboBox>(page, "device_profile_combo");
    page->calls.clear();

    combo->setCurrentIndex(1);  // as the user picks it: "itemselect" from the list
    EXPECT_TRUE(wnd_->timer_active(kTimerApplyProfile));
    EXPECT_TRUE(page->calls.empty());
    ASSERT_EQ_SOON(page->calls.size(), kApplyOrder.size(), 3000);
    EXPECT_EQ(page->calls, kApplyOrder);
    const Json::Value doc = list_doc();
    const std::string uuid = doc["profilelist"][1]["profileUUID"].asString();
    EXPECT_EQ(doc["profileselect"].asInt(), 1);
    EXPECT_EQ(page->path_at_reload, user_folder() + uuid + ".Json");
    EXPECT_EQ(page->property("profileUUID").toString().toStdString(), uuid);
    EXPECT_EQ(page->property("profilename").toString(), "profile2");
    EXPECT_EQ(control<QLineEdit>(page, "device_profile_name_edit")->text(), "profile2");
    auto* status = wnd_->control<QLabel>("str_test");
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(status->text().isEmpty());

    // A macro area too small for the macros shows the error text.
    page->macro_result = 3;
    page->calls.clear();
    combo->setCurrentIndex(0);
    ASSERT_EQ_SOON(page->calls.size(), kApplyOrder.size(), 3000);
    EXPECT_EQ(status->property("textid").toString(), "message_text_16");
    EXPECT_EQ(list_doc()["profileselect"].asInt(), 0);
}

TEST_F(ProfileBarTest, WithoutADevicePageEveryButtonDoesNothing) {
    RecordingDevice* page = build_page("XML/DeviceXml/mousedevice.ui");
    ASSERT_NE(page, nullptr);
    import_path_ = export_path_ = QString::fromStdString(dir_.file("x.json"));
    for (const char* name : {"device_add_btn", "device_sub_btn", "device_copy_btn",
                             "device_import_btn", "device_export_btn", "device_reset_btn",
                             "device_profile_edit_save_btn", "profile_fun_spread_btn"})
        click(page, name);
    bars_->apply_selected_profile();
    EXPECT_FALSE(fs::exists(user_folder()));
    EXPECT_TRUE(asked_.empty());
    EXPECT_EQ(dialogs_, 0);
    EXPECT_TRUE(page->calls.empty());
    EXPECT_FALSE(find_profile_bar(page)->menu_shown());
    EXPECT_EQ(control<QComboBox>(page, "device_profile_combo")->count(), 0);
}

TEST_F(ProfileBarTest, ResetAsksFirstThenReloadsTheDevice) {
    RecordingDevice* page = show_page();
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(ProfileBar::start_bar(find_profile_bar(page)));
    const std::string file = find_profile_bar(page)->selected_profile_file();
    const std::string mine = R"({"Device": [{"LightInfo": {"Light": 1}}]})";
    ASSERT_TRUE(write_file_atomic(file, mine));

    answer_ = 0;
    click(page, "device_reset_btn");
    EXPECT_EQ(asked_, std::vector<std::string>{"message_text_22"});
    EXPECT_EQ(read_whole_file(file), mine);
    EXPECT_TRUE(page->calls.empty());

    answer_ = 1;
    click(page, "device_reset_btn");
    const Json::Value doc = read_json(file);
    EXPECT_EQ(doc["Device"][0]["LightInfo"]["Light"].asInt(), 4);
    EXPECT_EQ(doc["profilename"].asString(), "profile1");
    EXPECT_EQ(page->calls, kApplyOrder);

    // The page's own restore button (not part of the bar).
    auto* restore = new QPushButton(page);
    restore->setObjectName("default_btn");
    wnd_->pump().attach(page);
    page->calls.clear();
    click(page, "default_btn");
    EXPECT_EQ(page->calls, std::vector<std::string>{"restore_default_profile"});
}

TEST_F(ProfileBarTest, ImportAndExportThroughTheFileDialogs) {
    RecordingDevice* page = show_page();
    ASSERT_NE(page, nullptr);
    auto* combo = control<QComboBox>(page, "device_profile_combo");

    click(page, "device_export_btn");  // cancelled
    EXPECT_EQ(dialogs_, 1);
    export_path_ = QString::fromStdString(dir_.file("out.json"));
    click(page, "device_export_btn");
    const Json::Value exported = read_json(dir_.file("out.json"));
    EXPECT_EQ(exported["profilename"].asString(), "profile1");
    EXPECT_EQ(exported["Device"][0]["LightInfo"]["Light"].asInt(), 4);

    // A file that is no profile is dropped without a message.
    ASSERT_TRUE(write_file_atomic(dir_.file("bad.json"), R"({"profilename": "x"})"));
    import_path_ = QString::fromStdString(dir_.file("bad.json"));
    click(page, "device_import_btn");
    EXPECT_EQ(combo->count(), 1);
    EXPECT_TRUE(asked_.empty());

    import_path_ = export_path_;
    click(page, "device_import_btn");
    EXPECT_EQ(items(combo), (std::vector<std::string>{"profile1", "profile1(1)"}));
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(dialogs_, 4);
}

TEST_F(ProfileBarTest, ImportOfAFileTooLargeForAProfileIsRefusedWithAMessage) {
    RecordingDevice* page = show_page();
    ASSERT_NE(page, nullptr);
    auto* combo = control<QComboBox>(page, "device_profile_combo");
    click(page, "device_add_btn");
    ASSERT_EQ(combo->count(), 2);
    const std::string list_before = read_whole_file(user_folder() + "ProfileList.ini");

    // 60 MB that would be a profile if it were read: refused by its size alone.
    const std::string big = dir_.file("big.json");
    ASSERT_TRUE(write_file_atomic(big, R"({"profilename": "big", "profileUUID": "u", "x": ")"));
    fs::resize_file(big, 60 * 1000 * 1000);
    import_path_ = QString::fromStdString(big);
    click(page, "device_import_btn");
    EXPECT_EQ(asked_, std::vector<std::string>{ProfileBar::kTooLargeText});
    EXPECT_EQ(combo->count(), 2);
    EXPECT_EQ(read_whole_file(user_folder() + "ProfileList.ini"), list_before);

    // Under the cap as it is, over it once stored in the styled layout: refused as well,
    // rather than written as a profile the next start could not read.
    Json::Value wide = parse(R"({"profilename": "wide", "profileUUID": "u", "Device": [{}]})");
    Json::Value& zeros = wide["Device"][0]["Zeros"] = Json::Value(Json::arrayValue);
    for (int i = 0; i < 500000; ++i) zeros.append(0);
    ASSERT_TRUE(write_file_atomic(dir_.file("wide.json"), Json::FastWriter().write(wide)));
    import_path_ = QString::fromStdString(dir_.file("wide.json"));
    asked_.clear();
    click(page, "device_import_btn");
    EXPECT_EQ(asked_, std::vector<std::string>{ProfileBar::kTooLargeText});
    EXPECT_EQ(combo->count(), 2);
    size_t profile_files = 0;
    for (const auto& e : fs::directory_iterator(user_folder()))
        profile_files += e.path().extension() == ".Json" ? 1 : 0;
    EXPECT_EQ(profile_files, 2u);

    // A profile of ordinary size still comes in without a word.
    asked_.clear();
    ASSERT_TRUE(
        write_file_atomic(dir_.file("ok.json"), R"({"profilename": "ok", "profileUUID": "u"})"));
    import_path_ = QString::fromStdString(dir_.file("ok.json"));
    click(page, "device_import_btn");
    EXPECT_TRUE(asked_.empty());
    EXPECT_EQ(combo->count(), 3);
}

TEST_F(ProfileBarTest, TabsFollowTheDeviceKindAndSelectSilently) {
    RecordingDevice* headset = show_page("XML/DeviceXml/hs6533device.ui");
    ASSERT_NE(headset, nullptr);
    CDeviceProfileUI* bar = find_profile_bar(headset);
    ASSERT_TRUE(ProfileBar::start_bar(bar));
    EXPECT_TRUE(fs::exists(user_folder("HD") + "ProfileList.ini"));
    for (int n : {2, 3, 4, 5}) EXPECT_TRUE(bar->tab(n)->isHidden()) << n;
    for (int n : {1, 6, 7, 8}) EXPECT_FALSE(bar->tab(n)->isHidden()) << n;
    EXPECT_TRUE(bar->tab(1)->isChecked());

    int notifications = 0;
    wnd_->routes("selectchanged")
        .add_front("magic_Op_tab", Match::NoCase,
                   [&](const Notification&, int) { ++notifications; });
    bar->select_tab(7);
    for (int n = 1; n <= 8; ++n) EXPECT_EQ(bar->tab(n)->isChecked(), n == 7) << n;
    bar->select_tab(8);
    bar->select_tab(0);  // clears 1..7, keeps 8
    for (int n = 1; n <= 7; ++n) EXPECT_FALSE(bar->tab(n)->isChecked()) << n;
    EXPECT_TRUE(bar->tab(8)->isChecked());
    EXPECT_EQ(notifications, 0);
    EXPECT_TRUE(bar->tab(8)->autoExclusive());

    // The mouse keeps every tab its layout shows.
    RecordingDevice* mouse = show_page();
    CDeviceProfileUI* mouse_bar = find_profile_bar(mouse);
    ASSERT_TRUE(ProfileBar::start_bar(mouse_bar));
    for (int n = 1; n <= 5; ++n) EXPECT_FALSE(mouse_bar->tab(n)->isHidden()) << n;
    for (int n = 6; n <= 8; ++n) EXPECT_TRUE(mouse_bar->tab(n)->isHidden()) << n;

    // The fold-out panel of operations.
    click(mouse, "profile_fun_spread_btn");
    EXPECT_TRUE(mouse_bar->menu_shown());
    click(mouse, "profile_fun_spread_btn");
    EXPECT_FALSE(mouse_bar->menu_shown());
}

// Every text the bar names, and every message its handlers show, in each shipped language.
TEST(ProfileBarTextsTest, EveryTextIdExistsInEachLanguage) {
    QFile layout(test::shipped_skin() + "XML/CustomControlXML/DeviceProfile.ui");
    ASSERT_TRUE(layout.open(QIODevice::ReadOnly));
    const QString xml = QString::fromUtf8(layout.readAll());
    QStringList ids = {"message_text_5", "message_text_16", "message_text_22", "message_text_25",
                       ProfileBar::kTooLargeText};
    const QRegularExpression property(
        R"re(<property name="(?:textid|tooltipid|placeholderid)" stdset="0">\s*<string>([^<]+)</string>)re");
    for (auto it = property.globalMatch(xml); it.hasNext();) ids << it.next().captured(1);
    EXPECT_EQ(ids.size(), 5 + 18);
    for (const char* file : {"lang/en.json", "lang/zh_CN.json"}) {
        TextTable table;
        ASSERT_TRUE(table.load_file(test::shipped_skin() + file)) << file;
        for (const QString& id : ids)
            EXPECT_TRUE(table.contains(id)) << file << " " << id.toStdString();
    }
}

}  // namespace
}  // namespace tellune::ui

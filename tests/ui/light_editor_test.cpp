// The lighting panel on device pages built from the shipped layouts, driven through the main
// window by control name: colour edits, palette and presets, the group table on the real
// panel, the copy of one effect to every device and the thread that then draws it.

#include "ui/editors/light_editor.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QSignalSpy>
#include <QTest>
#include <memory>
#include <vector>

#include "core/device/light_sync.h"
#include "core/profile/profile_data.h"
#include "emulator/emulated_backend.h"
#include "test_support/temp_dir.h"
#include "test_support/wait.h"
#include "ui/app/control_factory.h"
#include "ui/app/language.h"
#include "ui/app/main_wnd.h"
#include "ui/app/text_table.h"
#include "ui/controls/colour_palette.h"
#include "ui/device/tarvex_usb_device.h"
#include "ui/editors/light_control_ui.h"
#include "ui_test_support.h"

namespace tellune::ui {
namespace {

// A connected device page that keeps its light settings in its profile, as the device
// controls do, and counts the writes.
class LightDevice : public CTarvexUSBDevice {
public:
    LightDevice(int kind, QWidget* parent)
        : CTarvexUSBDevice(std::make_shared<emulator::EmulatedBackend>(), parent) {
        SetKind(kind);
        if (kind == 1)
            SetProfileData(std::make_unique<CKeyboardProfiledata>());
        else
            SetProfileData(std::make_unique<CBasicProfiledata>());
        SetLedCount(4);
        Config().SetOpen(true);
    }
    void set_light_settings(uint32_t a, uint32_t b, uint32_t c) override {
        CTarvexUSBDevice::set_light_settings(a, b, c);
        LightSettings s;
        s.word[0] = a;
        s.word[1] = b;
        s.word[2] = c;
        ProfileData()->write_light_settings(s);
    }
    int write_settings(int, int, int, int, int) override {
        ++writes;
        return 1;
    }
    LightSettings light() const { return ProfileData()->light_settings(); }
    void set_light(const LightSettings& s) { ProfileData()->write_light_settings(s); }
    int writes = 0;
};

class FakePages : public ShellExtension {
public:
    QWidget* current_page() const override { return page; }
    QWidget* page = nullptr;
};

class LightEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        texts().clear();
        language_ =
            std::make_unique<LanguageManager>(test::shipped_language_config(), test::shipped_skin(),
                                              QString::fromStdString(dir_.file("tellune.conf")));
        wnd_ = std::make_unique<CMainWnd>(*language_);
        auto pages = std::make_unique<FakePages>();
        pages_ = pages.get();
        wnd_->add_extension(std::move(pages));
        editor_ = install_light_editor(*wnd_, [this] {
            std::vector<CTarvexUSBDevice*> out;
            for (const auto& p : built_) out.push_back(p.get());
            return out;
        });
        ASSERT_TRUE(wnd_->load());
        for (auto [tag, kind] :
             {std::pair{"TarvexMouseDevice", 2}, std::pair{"TarvexKeyboardDevice", 1},
              std::pair{"TarvexMousePadDevice", 3}})
            ControlFactory::register_tag(
                tag, [kind](QWidget* parent, const QString&, ControlFactory&) -> QWidget* {
                    return new LightDevice(kind, parent);
                });
    }
    void TearDown() override {
        wnd_->shutdown();
        for (const char* tag :
             {"TarvexMouseDevice", "TarvexKeyboardDevice", "TarvexMousePadDevice"})
            ControlFactory::unregister_tag(tag);
        built_.clear();
        wnd_.reset();
        unregister_light_controls();
        texts().clear();
    }
    LightDevice* build(const char* layout) {
        ControlFactory factory(test::shipped_skin());
        std::unique_ptr<QWidget> page(factory.load_layout(layout));
        auto* device = dynamic_cast<LightDevice*>(page.get());
        if (!device) return nullptr;
        page.release();
        built_.emplace_back(device);
        wnd_->pump().attach(device);
        return device;
    }
    LightDevice* show(const char* layout, const LightSettings& s) {
        LightDevice* device = build(layout);
        if (!device) return nullptr;
        device->set_light(s);
        pages_->page = device;
        if (CLightControlUI* c = find_light_control(device))
            c->show_light_settings(s.word[0], s.word[1], s.word[2]);
        return device;
    }
    static CLightControlUI* panel(QWidget* page) { return find_light_control(page); }
    template <class T = QWidget>
    static T* control(QWidget* page, const char* name) {
        return page->findChild<T*>(QLatin1String(name));
    }
    void leave_edit(QWidget* page, const char* name, const QString& text) {
        auto* e = control<QLineEdit>(page, name);
        ASSERT_NE(e, nullptr) << name;
        e->setText(text);
        wnd_->notify({"killfocus", QString::fromLatin1(name), e});
    }
    static std::vector<BuiltInLightName> names(int count) {
        std::vector<BuiltInLightName> out;
        for (int i = 0; i < count; ++i) out.push_back({"light_mode_" + std::to_string(i), true});
        return out;
    }

    TempDir dir_;
    std::unique_ptr<LanguageManager> language_;
    std::unique_ptr<CMainWnd> wnd_;
    FakePages* pages_ = nullptr;
    LightEditor* editor_ = nullptr;
    std::vector<std::unique_ptr<LightDevice>> built_;
};

constexpr const char* kKeyboard = "XML/DeviceXml/keyboarddevice.ui";
constexpr const char* kMouse = "XML/DeviceXml/mousedevice.ui";
constexpr const char* kPad = "XML/DeviceXml/mousepaddevice.ui";

TEST_F(LightEditorTest, EveryPageLayoutHasTheWholePanel) {
    for (const char* layout : {kKeyboard, kMouse, kPad, "XML/DeviceXml/hs6533device.ui"}) {
        ControlFactory factory(test::shipped_skin());
        ControlFactory::register_tag("TarvexHS6533Device",
                                     [](QWidget* parent, const QString&, ControlFactory&) {
                                         return new LightDevice(7, parent);
                                     });
        std::unique_ptr<QWidget> page(factory.load_layout(layout));
        ControlFactory::unregister_tag("TarvexHS6533Device");
        ASSERT_NE(page, nullptr) << layout;
        CLightControlUI* c = panel(page.get());
        ASSERT_NE(c, nullptr) << layout;
        for (const char* name : {"light_combo_modeSelect",
                                 "light_combo_custommodeSelect",
                                 "light_combo_ZZCCmodeSelect",
                                 "light_combo_ZZCCmodeSelectLayout",
                                 "deng_light_slider",
                                 "deng_light_layout",
                                 "deng_speed_slider",
                                 "deng_speed_layout",
                                 "deng_edit_R",
                                 "deng_edit_G",
                                 "deng_edit_B",
                                 "deng_color_layout",
                                 "deng_Color_Pallet",
                                 "colorpallet_layout",
                                 "deng_colordp_btn",
                                 "deng_7color_check",
                                 "deng_FXL_check",
                                 "deng_FXR_check",
                                 "deng_fx_layout",
                                 "deng_same_mode",
                                 "lighteffect_layout",
                                 "light_color_layout",
                                 "lightcustom_layout"})
            EXPECT_NE(control(c, name), nullptr) << layout << " " << name;
        EXPECT_NE(qobject_cast<CColourPaletteUI*>(control(c, "deng_Color_Pallet")), nullptr);
        int presets = 0;
        while (c->preset_colour(presets) != 0) ++presets;
        EXPECT_GE(presets, 8);
        EXPECT_LE(presets, 12);
        EXPECT_EQ(c->preset_colour(0), 0xFFFF0000u);
        EXPECT_EQ(c->preset_colour(99), 0u);
    }
}

TEST_F(LightEditorTest, ColourEditsClampAndClearTheSevenColourCycle) {
    // Keyboard, static, multi-colour on, red 10, green 20, blue 30.
    LightDevice* kb = show(kKeyboard, LightSettings::make(3, 4, 2, 0, 1, 10, 20, 30, 0));
    ASSERT_NE(kb, nullptr);
    CLightControlUI* c = panel(kb);
    ASSERT_TRUE(c->seven_colour());

    leave_edit(kb, "deng_edit_G", "300");
    EXPECT_EQ(c->colour_text(CLightControlUI::kGreen), "255");
    EXPECT_EQ(kb->light(), LightSettings::make(3, 4, 2, 0, 0, 10, 255, 30, 0));
    EXPECT_EQ(kb->writes, 1);
    EXPECT_FALSE(c->seven_colour());
    EXPECT_EQ(c->palette_colour(), 0xFF0AFF1Eu);

    leave_edit(kb, "deng_edit_B", "");
    EXPECT_EQ(c->colour_text(CLightControlUI::kBlue), "0");
    EXPECT_EQ(kb->light(), LightSettings::make(3, 4, 2, 0, 0, 10, 255, 0, 0));
    leave_edit(kb, "deng_edit_R", "x7");
    EXPECT_EQ(c->colour_text(CLightControlUI::kRed), "0");
    leave_edit(kb, "deng_edit_R", "-5");
    EXPECT_EQ(c->colour_text(CLightControlUI::kRed), "0");
    leave_edit(kb, "deng_edit_R", "128");
    EXPECT_EQ(kb->light(), LightSettings::make(3, 4, 2, 0, 0, 128, 255, 0, 0));
    EXPECT_EQ(c->palette_colour(), 0xFF80FF00u);
    EXPECT_EQ(kb->writes, 5);
}

TEST_F(LightEditorTest, PalettePickClearsTheSevenColourCycle) {
    LightDevice* mouse = show(kMouse, LightSettings::make(4, 3, 1, 1, 1, 0, 0, 255, 0));
    ASSERT_NE(mouse, nullptr);
    CLightControlUI* c = panel(mouse);
    auto* palette = control<CColourPaletteUI>(mouse, "deng_Color_Pallet");
    ASSERT_NE(palette, nullptr);
    QSignalSpy picks(palette, &CColourPaletteUI::colorChanged);
    c->set_palette_colour(0xFF12FF56);  // from the program: no notification
    EXPECT_EQ(picks.count(), 0);
    EXPECT_EQ(mouse->writes, 0);

    palette->resize(260, 140);
    // The bottom-left corner of the field: hue 0, no saturation, full value = white.
    const QRect f = palette->field_rect();
    QTest::mouseClick(palette, Qt::LeftButton, {}, QPoint(f.left(), f.bottom()));
    ASSERT_EQ(picks.count(), 1);
    EXPECT_EQ(mouse->light(), LightSettings::make(4, 3, 1, 1, 0, 255, 255, 255, 0));
    EXPECT_EQ(mouse->writes, 1);
    EXPECT_FALSE(c->seven_colour());
    EXPECT_EQ(c->colour_text(CLightControlUI::kRed), "255");
    EXPECT_EQ(c->colour_text(CLightControlUI::kBlue), "255");
    EXPECT_TRUE(control(mouse, "deng_colordp_btn")->styleSheet().contains("#ffffff"));

    // The value strip's bottom: black.
    const QRect s = palette->strip_rect();
    QTest::mouseClick(palette, Qt::LeftButton, {}, QPoint(s.center().x(), s.bottom()));
    EXPECT_EQ(mouse->light(), LightSettings::make(4, 3, 1, 1, 0, 0, 0, 0, 0));
    EXPECT_EQ(c->palette_colour(), 0xFF000000u);
}

TEST_F(LightEditorTest, PresetColourMovesThePalette) {
    LightDevice* pad = show(kPad, LightSettings::make(2, 4, 2, 0, 1, 1, 2, 3, 0));
    ASSERT_NE(pad, nullptr);
    CLightControlUI* c = panel(pad);
    auto* preset = control<QAbstractButton>(pad, "color_option_3");
    ASSERT_NE(preset, nullptr);
    const uint32_t colour = c->preset_colour(3);
    ASSERT_NE(colour, 0u);
    preset->click();
    const LightSettings s = pad->light();
    EXPECT_EQ(s.multi_color(), 0);
    EXPECT_EQ(0xFF000000u | uint32_t(s.red()) << 16 | uint32_t(s.green()) << 8 | s.blue(), colour);
    EXPECT_EQ(c->palette_colour(), colour);
    EXPECT_EQ(pad->writes, 1);
}

TEST_F(LightEditorTest, ModeListSlidersAndChecksChangeTheirFields) {
    LightDevice* kb = show(kKeyboard, LightSettings::make(0, 1, 1, 0, 0, 5, 6, 7, 0));
    ASSERT_NE(kb, nullptr);
    CLightControlUI* c = panel(kb);
    c->set_light_type(1);
    std::vector<BuiltInLightName> list = names(26);
    list[5].visible = false;
    c->fill_modes(list, 4, 4);
    auto* combo = control<QComboBox>(kb, "light_combo_modeSelect");
    ASSERT_EQ(combo->count(), 26);
    EXPECT_EQ(combo->itemData(7).toString(), "light_mode_7");
    EXPECT_EQ(combo->itemData(7, Qt::SizeHintRole).toSize().height(), 30);
    auto* view = qobject_cast<QListView*>(combo->view());
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->isRowHidden(5));
    EXPECT_FALSE(view->isRowHidden(6));
    EXPECT_EQ(kb->writes, 0);  // filling sends nothing

    combo->setCurrentIndex(8);  // custom keys: custom row shown, speed row hidden
    EXPECT_EQ(kb->light().select_item(), 8);
    EXPECT_FALSE(control(kb, "lightcustom_layout")->isHidden());
    EXPECT_TRUE(control(kb, "deng_speed_layout")->isHidden());
    EXPECT_TRUE(control(kb, "light_combo_ZZCCmodeSelectLayout")->isHidden());
    combo->setCurrentIndex(25);  // zones: ZZCC list shown, speed row hidden
    EXPECT_FALSE(control(kb, "light_combo_ZZCCmodeSelectLayout")->isHidden());
    EXPECT_TRUE(control(kb, "lightcustom_layout")->isHidden());
    EXPECT_TRUE(control(kb, "deng_speed_layout")->isHidden());
    combo->setCurrentIndex(2);
    EXPECT_FALSE(control(kb, "deng_speed_layout")->isHidden());
    EXPECT_TRUE(control(kb, "light_combo_ZZCCmodeSelectLayout")->isHidden());

    control<QAbstractSlider>(kb, "deng_light_slider")->setValue(3);
    control<QAbstractSlider>(kb, "deng_speed_slider")->setValue(4);
    control<QComboBox>(kb, "light_combo_ZZCCmodeSelect")->addItems({"a", "b", "c"});
    control<QComboBox>(kb, "light_combo_ZZCCmodeSelect")->setCurrentIndex(2);
    control<QAbstractButton>(kb, "deng_7color_check")->click();
    EXPECT_EQ(kb->light(), LightSettings::make(2, 3, 4, 0, 1, 5, 6, 7, 2));

    // Direction (mode 0 has it): the two checks stay exclusive, unchecking one is no choice.
    combo->setCurrentIndex(0);
    ASSERT_TRUE(control(kb, "deng_fx_layout")->isEnabled());
    control<QAbstractButton>(kb, "deng_FXL_check")->click();
    EXPECT_EQ(kb->light().fx(), 1);
    EXPECT_FALSE(control<QAbstractButton>(kb, "deng_FXR_check")->isChecked());
    const int writes = kb->writes;
    control<QAbstractButton>(kb, "deng_FXL_check")->click();
    EXPECT_TRUE(control<QAbstractButton>(kb, "deng_FXL_check")->isChecked());
    EXPECT_EQ(kb->writes, writes);
    control<QAbstractButton>(kb, "deng_FXR_check")->click();
    EXPECT_EQ(kb->light().fx(), 0);
    EXPECT_FALSE(control<QAbstractButton>(kb, "deng_FXL_check")->isChecked());

    // Showing settings sends nothing back.
    const int before = kb->writes;
    const LightSettings other = LightSettings::make(13, 2, 0, 1, 1, 9, 9, 9, 0);
    c->show_light_settings(other.word[0], other.word[1], other.word[2]);
    EXPECT_EQ(kb->writes, before);
    EXPECT_EQ(c->current_mode(), 13);
    EXPECT_EQ(c->brightness(), 2);
    EXPECT_EQ(c->fx(), 1);
    EXPECT_TRUE(c->seven_colour());
    EXPECT_EQ(c->colour_text(CLightControlUI::kGreen), "9");
}

TEST_F(LightEditorTest, MouseModeSevenLeavesOnlyTheEffectGroup) {
    LightDevice* mouse = show(kMouse, LightSettings::make(1, 4, 2, 0, 0, 0, 0, 0, 0));
    LightDevice* pad = build(kPad);
    ASSERT_TRUE(mouse && pad);
    CLightControlUI* c = panel(mouse);
    c->set_light_type(2);
    c->fill_modes(names(13), 4, 4);
    editor_->refresh_same_mode();  // two connected devices
    c->select_mode(1);
    EXPECT_FALSE(control(mouse, "deng_same_mode")->isHidden());
    c->select_mode(7);
    EXPECT_TRUE(control(mouse, "lighteffect_layout")->isEnabled());
    for (const char* name :
         {"deng_7color_check", "deng_color_layout", "colorpallet_layout", "deng_light_layout",
          "deng_speed_layout", "deng_fx_layout", "light_color_layout"})
        EXPECT_FALSE(control(mouse, name)->isEnabled()) << name;
    EXPECT_TRUE(control(mouse, "deng_same_mode")->isHidden());

    // With one device left the button goes, whatever the mode.
    c->select_mode(1);
    pad->Config().SetOpen(false);
    editor_->refresh_same_mode();
    EXPECT_TRUE(control(mouse, "deng_same_mode")->isHidden());
    c->select_mode(0);
    for (const char* name : {"deng_7color_check", "deng_color_layout", "light_color_layout"})
        EXPECT_TRUE(control(mouse, name)->isEnabled()) << name;
}

TEST_F(LightEditorTest, SameModeFromKeyboardBlinkSetsEveryConnectedDevice) {
    // Keyboard blink (17): brightness 3, speed 1, Fx 1, one colour 10/20/30, ZZCC 2.
    const LightSettings source = LightSettings::make(17, 3, 1, 1, 0, 10, 20, 30, 2);
    LightDevice* kb = show(kKeyboard, source);
    LightDevice* mouse = build(kMouse);
    LightDevice* pad = build(kPad);
    LightDevice* away = build(kMouse);
    ASSERT_TRUE(kb && mouse && pad && away);
    const LightSettings untouched = LightSettings::make(5, 1, 1, 0, 0, 1, 1, 1, 0);
    away->set_light(untouched);
    away->Config().SetOpen(false);
    panel(mouse)->fill_modes(names(13), 4, 4);

    control<QAbstractButton>(kb, "deng_same_mode")->click();
    EXPECT_EQ(kb->light(), source);
    EXPECT_EQ(mouse->light(), LightSettings::make(12, 3, 1, 1, 0, 10, 20, 30, 2));
    EXPECT_EQ(pad->light(), LightSettings::make(4, 3, 1, 1, 0, 10, 20, 30, 2));
    EXPECT_EQ(away->light(), untouched);
    EXPECT_EQ(kb->writes + mouse->writes + pad->writes, 3);
    EXPECT_EQ(away->writes, 0);
    EXPECT_EQ(panel(mouse)->current_mode(), 12);
    EXPECT_EQ(panel(mouse)->colour_text(CLightControlUI::kBlue), "30");
    for (LightDevice* d : {kb, mouse, pad}) EXPECT_EQ(d->Config().Pause(), 1);
    EXPECT_EQ(away->Config().Pause(), 0);
    // blink, speed 1, level of brightness 3, direction 1, colour.
    EXPECT_EQ(device::sync_light_store().get(),
              (device::SyncLightSettings{2, 1, 195, 1, 0, 10, 20, 30}));

    // An edit on one device takes it back from the synchronised light.
    pages_->page = mouse;
    control<QAbstractSlider>(mouse, "deng_light_slider")->setValue(1);
    EXPECT_EQ(mouse->light().light(), 1);
    EXPECT_EQ(mouse->Config().Pause(), 0);
    EXPECT_EQ(pad->Config().Pause(), 1);
}

TEST_F(LightEditorTest, SameModeFromAModeWithoutCommonEffectDoesNothing) {
    const LightSettings source = LightSettings::make(3, 4, 2, 0, 0, 9, 8, 7, 0);
    LightDevice* mouse = show(kMouse, source);
    LightDevice* kb = build(kKeyboard);
    ASSERT_TRUE(mouse && kb);
    const LightSettings before = kb->light();
    const uint64_t generation = device::sync_light_store().generation();
    control<QAbstractButton>(mouse, "deng_same_mode")->click();
    EXPECT_EQ(mouse->light(), source);
    EXPECT_EQ(kb->light(), before);
    EXPECT_EQ(mouse->writes + kb->writes, 0);
    EXPECT_EQ(mouse->Config().Pause() + kb->Config().Pause(), 0);
    EXPECT_EQ(device::sync_light_store().generation(), generation);
}

TEST_F(LightEditorTest, SyncThreadDrawsEveryPausedDevice) {
    // Keyboard static (3), brightness 2 = level 135, colour 0x112233.
    LightDevice* kb = show(kKeyboard, LightSettings::make(3, 2, 0, 0, 0, 0x11, 0x22, 0x33, 0));
    LightDevice* mouse = build(kMouse);
    ASSERT_TRUE(kb && mouse);
    wnd_->init();  // starts the thread in slot 8
    ASSERT_TRUE(wnd_->workers().running(LightEditor::kSyncSlot));
    control<QAbstractButton>(kb, "deng_same_mode")->click();
    const uint32_t expected = 0x87332211u;
    ASSERT_SOON(mouse->GetLedColour(3) == expected && kb->GetLedColour(0) == expected, 2000);
    // The mouse goes back to its own light: the thread leaves its LEDs alone.
    mouse->Config().SetPause(0);
    editor_->sync_runner().wake();
    QTest::qWait(30);
    for (int i = 0; i < 4; ++i) mouse->SetLedColour(i, 0);
    QTest::qWait(60);
    EXPECT_EQ(mouse->GetLedColour(3), 0u);
    EXPECT_EQ(kb->GetLedColour(3), expected);
    wnd_->shutdown();
    EXPECT_FALSE(wnd_->workers().running(LightEditor::kSyncSlot));
}

}  // namespace
}  // namespace tellune::ui

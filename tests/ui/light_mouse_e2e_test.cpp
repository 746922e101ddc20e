// A palette pick on the mouse page, built from the shipped layout over the emulated mouse,
// travels through the main window's routing and the mouse's device control into the mouse's
// settings memory.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <memory>
#include <vector>

#include "emulator/emulated_backend.h"
#include "emulator/products.h"
#include "test_support/temp_dir.h"
#include "ui/app/control_factory.h"
#include "ui/app/language.h"
#include "ui/app/main_wnd.h"
#include "ui/app/text_table.h"
#include "ui/controls/colour_palette.h"
#include "ui/device/tarvex_devices.h"
#include "ui/editors/light_control_ui.h"
#include "ui/editors/light_editor.h"
#include "ui_test_support.h"

namespace tellune::ui {
namespace {

class CurrentPage : public ShellExtension {
public:
    QWidget* current_page() const override { return page; }
    QWidget* page = nullptr;
};

TEST(LightMouseEndToEnd, PalettePickReachesTheMousesSettingsBytes) {
    TempDir home;
    ScopedEnv data("XDG_DATA_HOME", home.path().string());
    ScopedEnv program("TELLUNE_DATA_DIR", test::source_folder().toStdString());
    texts().clear();
    auto backend = std::make_shared<emulator::EmulatedBackend>();
    std::shared_ptr<emulator::EmulatedDevice> mouse = emulator::make_mouse();
    backend->plug(mouse);
    register_device_controls(backend);

    LanguageManager language(test::shipped_language_config(), test::shipped_skin(),
                             QString::fromStdString(home.file("tellune.conf")));
    auto wnd = std::make_unique<CMainWnd>(language);
    auto pages = std::make_unique<CurrentPage>();
    CurrentPage* current = pages.get();
    wnd->add_extension(std::move(pages));
    std::unique_ptr<CTarvexMouseDevice> page;
    install_light_editor(*wnd,
                         [&page]() -> std::vector<CTarvexUSBDevice*> { return {page.get()}; });
    ASSERT_TRUE(wnd->load());

    ControlFactory factory(test::shipped_skin());
    page.reset(
        dynamic_cast<CTarvexMouseDevice*>(factory.load_layout("XML/DeviceXml/mousedevice.ui")));
    ASSERT_NE(page, nullptr);
    page->SetLedCount(8);
    page->SetLightName(QStringLiteral("pomex_light"));
    bool opened = false;
    for (const std::string& path : emulator::interface_paths(*mouse))
        if (path.find("&col04") != std::string::npos) opened = page->Config().Connect(path);
    ASSERT_TRUE(opened);
    page->connect_device();
    ASSERT_EQ(page->write_settings(0, 0, 0, 0, 0), 1);
    // The shipped profile: several colours (byte 5 = 1), red.
    std::vector<uint8_t> memory = mouse->memory();
    ASSERT_GE(memory.size(), 9u);
    EXPECT_EQ(std::vector<uint8_t>(memory.begin() + 5, memory.begin() + 9),
              (std::vector<uint8_t>{0x01, 0xFF, 0x00, 0x00}));

    wnd->pump().attach(page.get());
    current->page = page.get();
    page->resize(1000, 700);
    page->show();
    // The shipped spectrum takes no colour: the palette is disabled until a mode that does.
    auto* palette = page->findChild<CColourPaletteUI*>("deng_Color_Pallet");
    ASSERT_NE(palette, nullptr);
    EXPECT_FALSE(palette->isEnabled());
    auto* modes = page->findChild<QComboBox*>("light_combo_modeSelect");
    ASSERT_NE(modes, nullptr);
    modes->setCurrentIndex(5);  // static
    EXPECT_EQ(mouse->memory()[1], 5);
    EXPECT_TRUE(palette->isEnabled());
    palette->resize(260, 140);
    // Bottom-left of the field: no saturation at full value, white.
    const QRect f = palette->field_rect();
    QTest::mouseClick(palette, Qt::LeftButton, {}, QPoint(f.left(), f.bottom()));

    memory = mouse->memory();
    EXPECT_EQ(std::vector<uint8_t>(memory.begin() + 5, memory.begin() + 9),
              (std::vector<uint8_t>{0x00, 0xFF, 0xFF, 0xFF}));
    CLightControlUI* panel = find_light_control(page.get());
    ASSERT_NE(panel, nullptr);
    EXPECT_FALSE(panel->seven_colour());
    EXPECT_EQ(panel->colour_text(CLightControlUI::kGreen), "255");

    // Clearing the green edit sends green 0 beside the red and blue.
    auto* green = page->findChild<QLineEdit*>("deng_edit_G");
    ASSERT_NE(green, nullptr);
    green->setText("");
    wnd->notify({"killfocus", "deng_edit_G", green});
    memory = mouse->memory();
    EXPECT_EQ(std::vector<uint8_t>(memory.begin() + 5, memory.begin() + 9),
              (std::vector<uint8_t>{0x00, 0xFF, 0x00, 0xFF}));

    wnd->shutdown();
    page.reset();
    wnd.reset();
    unregister_light_controls();
    unregister_device_controls();
    texts().clear();
}

}  // namespace
}  // namespace tellune::ui

#include "ui/app/program.h"

#include "ui/app/device_pages.h"
#include "ui/app/main_wnd.h"
#include "ui/app/skin_choice.h"
#include "ui/device/keyboard_device.h"
#include "ui/editors/key_editor.h"
#include "ui/editors/light_editor.h"
#include "ui/macro/macro_editor.h"
#include "ui/profile/profile_bar.h"
#include "ui/shoot/shoot_editor.h"
#include "ui/update/settings_extension.h"

namespace tellune::ui {

DevicePages* install_program_extensions(CMainWnd& wnd, std::shared_ptr<hid::HidBackend> backend) {
    auto pages = std::make_unique<DevicePages>(std::move(backend));
    DevicePages* device_pages = pages.get();
    wnd.add_extension(std::move(pages));
    // The bars and the editor find their pages through the pages' extension.
    install_profile_bar(wnd);
    LightEditor* light = install_light_editor(wnd, device_pages);
    // The keyboard's custom list picks the group of key colours it shows.
    light->set_custom_effect_handler([](CTarvexUSBDevice* page, int index) {
        if (auto* keyboard = qobject_cast<CTarvexKeyboardDevice*>(page))
            keyboard->select_custom_group(index);
    });
    install_key_editor(wnd, device_pages);
    install_macro_editor(wnd, device_pages);
    install_shoot_editor(wnd, device_pages);
    wnd.add_extension(std::make_unique<SettingsExtension>(device_pages));
    wnd.add_extension(std::make_unique<SkinExtension>());
    return device_pages;
}

}  // namespace tellune::ui

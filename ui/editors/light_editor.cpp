#include "ui/editors/light_editor.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QLineEdit>
#include <algorithm>

#include "core/device/light_modes.h"
#include "core/hid/device_slots.h"
#include "core/profile/profile_data.h"
#include "ui/app/control_factory.h"
#include "ui/app/device_pages.h"
#include "ui/app/main_wnd.h"
#include "ui/controls/colour_palette.h"
#include "ui/device/tarvex_usb_device.h"
#include "ui/editors/light_control_ui.h"

namespace tellune::ui {
namespace {

LightSettings with_byte(LightSettings s, int word, int shift, int value) {
    const uint32_t v = uint32_t(std::clamp(value, 0, 255));
    s.word[word] = (s.word[word] & ~(0xFFu << shift)) | v << shift;
    return s;
}

LightSettings with_colour(LightSettings s, uint32_t rgb) {
    s = with_byte(s, 1, 0, 0);  // MultiColor off: one colour was chosen
    s = with_byte(s, 1, 8, int(rgb >> 16 & 0xFF));
    s = with_byte(s, 1, 16, int(rgb >> 8 & 0xFF));
    return with_byte(s, 1, 24, int(rgb & 0xFF));
}

uint32_t rgb_of(const LightSettings& s) {
    return uint32_t(s.red()) << 16 | uint32_t(s.green()) << 8 | s.blue();
}

}  // namespace

void register_light_controls() {
    ControlFactory::register_tag(QLatin1String(CLightControlUI::kClassName),
                                 [](QWidget* parent, const QString& name, ControlFactory&) {
                                     auto* w = new CLightControlUI(parent);
                                     w->setObjectName(name);
                                     return w;
                                 });
    ControlFactory::register_tag(QLatin1String(CColourPaletteUI::kClassName),
                                 [](QWidget* parent, const QString& name, ControlFactory&) {
                                     auto* w = new CColourPaletteUI(parent);
                                     w->setObjectName(name);
                                     return w;
                                 });
}

void unregister_light_controls() {
    ControlFactory::unregister_tag(QLatin1String(CLightControlUI::kClassName));
    ControlFactory::unregister_tag(QLatin1String(CColourPaletteUI::kClassName));
}

LightEditor* install_light_editor(CMainWnd& wnd, LightEditor::PageList pages) {
    register_light_controls();
    auto editor = std::make_unique<LightEditor>(wnd, std::move(pages));
    LightEditor* raw = editor.get();
    wnd.add_extension(std::move(editor));
    return raw;
}

LightEditor* install_light_editor(CMainWnd& wnd, DevicePages* pages) {
    return install_light_editor(wnd, [pages]() -> std::vector<CTarvexUSBDevice*> {
        return pages ? pages->Pages() : std::vector<CTarvexUSBDevice*>{};
    });
}

LightEditor::LightEditor(CMainWnd& wnd, PageList pages) : wnd_(wnd), pages_(std::move(pages)) {
    runner_ = std::make_unique<device::LightSyncRunner>(device::LightSyncRunner::Callbacks{
        [this] { return sync_active(); }, [this](uint32_t colour) { sync_draw(colour); }});
    register_routes();
}

LightEditor::~LightEditor() {
    // Normally stopped with the worker slots already; a thread of its own ends here.
    runner_->stop();
    // The pages outlive the window's extensions.
    for (const QMetaObject::Connection& c : connections_) QObject::disconnect(c);
}

void LightEditor::window_init(CMainWnd& wnd) {
    update_targets();
    refresh_same_mode();
    device::LightSyncRunner* runner = runner_.get();
    wnd.workers().start(kSyncSlot, [runner](std::stop_token token) { runner->run(token); });
}

void LightEditor::device_arrived(int) {
    refresh_same_mode();
}

void LightEditor::device_removed(int) {
    refresh_same_mode();
}

void LightEditor::reload_texts() {
    if (!pages_) return;
    for (CTarvexUSBDevice* page : pages_())
        if (CLightControlUI* control = find_light_control(page)) control->retranslate_modes();
}

void LightEditor::set_same_mode_allowed(int connected_devices) {
    if (!pages_) return;
    for (CTarvexUSBDevice* page : pages_())
        if (CLightControlUI* control = find_light_control(page))
            control->allow_same_mode(connected_devices >= 2);
}

void LightEditor::refresh_same_mode() {
    if (!pages_) return;
    int connected = 0;
    for (CTarvexUSBDevice* page : pages_()) connected += page->Config().IsOpen() ? 1 : 0;
    set_same_mode_allowed(connected);
}

CTarvexUSBDevice* LightEditor::current_device() const {
    auto* page = qobject_cast<CTarvexUSBDevice*>(wnd_.current_page());
    return page && page->ProfileData() ? page : nullptr;
}

CLightControlUI* LightEditor::current_control() const {
    return find_light_control(current_device());
}

bool LightEditor::change(const std::function<void(LightSettings&)>& edit) {
    CTarvexUSBDevice* page = current_device();
    if (!page) return false;
    LightSettings s = page->ProfileData()->light_settings();
    edit(s);
    // A device edited on its own leaves the synchronised light and shows its own again.
    page->Config().SetPause(0);
    page->set_light_settings(s.word[0], s.word[1], s.word[2]);
    page->write_settings(0, 0, 0, 0, 0);
    return true;
}

void LightEditor::register_routes() {
    RouteTable& combo = wnd_.routes("itemselect");
    combo.add("light_combo_modeSelect", Match::NoCase, [this](const Notification& n, int) {
        auto* list = qobject_cast<QComboBox*>(n.control);
        if (!list || list->currentIndex() < 0) return;
        const int mode = list->currentIndex();
        if (!change([mode](LightSettings& s) { s = with_byte(s, 0, 0, mode); })) return;
        if (CLightControlUI* control = current_control()) control->apply_enable_table();
    });
    combo.add("light_combo_custommodeSelect", Match::NoCase, [this](const Notification& n, int) {
        auto* list = qobject_cast<QComboBox*>(n.control);
        CTarvexUSBDevice* page = current_device();
        if (!list || list->currentIndex() < 0 || !page || page->Kind() != hid::kKindKeyboard)
            return;
        if (custom_) {
            custom_(page, list->currentIndex());
            return;
        }
        if (auto* profile = dynamic_cast<CKeyboardProfiledata*>(page->ProfileData())) {
            profile->write_custom_group(list->currentIndex());
            profile->save_profile();
            page->write_settings(0, 0, 0, 0, 0);
        }
    });
    combo.add("light_combo_ZZCCmodeSelect", Match::NoCase, [this](const Notification& n, int) {
        auto* list = qobject_cast<QComboBox*>(n.control);
        if (!list || list->currentIndex() < 0) return;
        const int mode = list->currentIndex();
        change([mode](LightSettings& s) { s = with_byte(s, 2, 24, mode); });
    });

    RouteTable& slider = wnd_.routes("valuechanged");
    slider.add("deng_light_slider", Match::NoCase, [this](const Notification& n, int) {
        if (auto* s = qobject_cast<QAbstractSlider*>(n.control))
            change([v = s->value()](LightSettings& ls) { ls = with_byte(ls, 0, 8, v); });
    });
    slider.add("deng_speed_slider", Match::NoCase, [this](const Notification& n, int) {
        if (auto* s = qobject_cast<QAbstractSlider*>(n.control))
            change([v = s->value()](LightSettings& ls) { ls = with_byte(ls, 0, 16, v); });
    });

    wnd_.routes("colorchanged")
        .add("deng_Color_Pallet", Match::NoCase, [this](const Notification& n, int) {
            if (auto* palette = qobject_cast<CColourPaletteUI*>(n.control))
                set_colour(palette->colour() & 0xFFFFFF, false);
        });

    RouteTable& click = wnd_.routes("click");
    click.add("color_option_", Match::Prefix, [this](const Notification&, int index) {
        CLightControlUI* control = current_control();
        if (!control) return;
        const uint32_t colour = control->preset_colour(index);
        if (colour != 0) set_colour(colour & 0xFFFFFF, true);
    });
    click.add("deng_same_mode", Match::NoCase, [this](const Notification&, int) { same_mode(); });

    // Leaving a colour edit applies its value, and so does Enter in it.
    for (const char* type : {"killfocus", "returnpressed"}) {
        RouteTable& edit = wnd_.routes(QString::fromLatin1(type));
        edit.add("deng_edit_R", Match::NoCase,
                 [this](const Notification&, int) { on_colour_edit(0); });
        edit.add("deng_edit_G", Match::NoCase,
                 [this](const Notification&, int) { on_colour_edit(1); });
        edit.add("deng_edit_B", Match::NoCase,
                 [this](const Notification&, int) { on_colour_edit(2); });
    }

    RouteTable& check = wnd_.routes("selectchanged");
    check.add("deng_7color_check", Match::NoCase, [this](const Notification& n, int) {
        if (auto* box = qobject_cast<QAbstractButton*>(n.control))
            change([on = box->isChecked()](LightSettings& s) { s = with_byte(s, 1, 0, on); });
    });
    check.add("deng_FXL_check", Match::NoCase,
              [this](const Notification& n, int) { on_fx(n.control, 1); });
    check.add("deng_FXR_check", Match::NoCase,
              [this](const Notification& n, int) { on_fx(n.control, 0); });
}

void LightEditor::set_colour(uint32_t rgb, bool move_palette) {
    if (!change([rgb](LightSettings& s) { s = with_colour(s, rgb); })) return;
    CLightControlUI* control = current_control();
    if (!control) return;
    control->set_colour_text(CLightControlUI::kRed, QString::number(rgb >> 16 & 0xFF));
    control->set_colour_text(CLightControlUI::kGreen, QString::number(rgb >> 8 & 0xFF));
    control->set_colour_text(CLightControlUI::kBlue, QString::number(rgb & 0xFF));
    control->set_seven_colour(false);
    if (move_palette)
        control->set_palette_colour(0xFF000000u | rgb);
    else  // the palette has the colour already; the sample button follows it
        control->set_palette_colour(control->palette_colour());
}

void LightEditor::on_colour_edit(int channel) {
    CLightControlUI* control = current_control();
    if (!control) return;
    const auto ch = CLightControlUI::Channel(channel);
    bool ok = false;
    const int typed = control->colour_text(ch).trimmed().toInt(&ok);
    // Empty or not a number reads as 0; the edit always shows the value that was sent.
    const int value = ok ? std::clamp(typed, 0, 255) : 0;
    control->set_colour_text(ch, QString::number(value));
    LightSettings sent;
    if (!change([&](LightSettings& s) {
            s = with_byte(s, 1, 0, 0);
            s = with_byte(s, 1, 8 * (channel + 1), value);
            sent = s;
        }))
        return;
    control->set_seven_colour(false);
    control->set_palette_colour(0xFF000000u | rgb_of(sent));
}

void LightEditor::on_fx(QObject* sender, int fx) {
    auto* box = qobject_cast<QAbstractButton*>(sender);
    CLightControlUI* control = current_control();
    if (!box || !control) return;
    if (!box->isChecked()) {
        // Unchecking one direction is not a choice: the checks stay exclusive.
        if (CTarvexUSBDevice* page = current_device())
            control->set_fx(page->ProfileData()->light_settings().fx());
        return;
    }
    control->set_fx(fx);
    change([fx](LightSettings& s) { s = with_byte(s, 0, 24, fx); });
}

void LightEditor::same_mode() {
    CTarvexUSBDevice* source = current_device();
    if (!source) return;
    const LightSettings s = source->ProfileData()->light_settings();
    const int effect = device::common_effect_of_mode(source->Kind(), s.select_item());
    if (effect < 0) return;

    std::vector<CTarvexUSBDevice*> pages = pages_ ? pages_() : std::vector<CTarvexUSBDevice*>{};
    if (std::find(pages.begin(), pages.end(), source) == pages.end()) pages.push_back(source);
    for (CTarvexUSBDevice* page : pages) {
        if (page != source && !page->Config().IsOpen()) continue;
        const int mode = device::mode_of_common_effect(page->Kind(), effect);
        if (mode < 0 || !page->ProfileData()) continue;
        const LightSettings t =
            LightSettings::make(uint8_t(mode), s.light(), s.speed(), s.fx(), s.multi_color(),
                                s.red(), s.green(), s.blue(), s.led_mode());
        page->set_light_settings(t.word[0], t.word[1], t.word[2]);
        page->write_settings(0, 0, 0, 0, 0);
        if (CLightControlUI* control = find_light_control(page))
            control->show_light_settings(t.word[0], t.word[1], t.word[2]);
    }

    device::sync_light_store().set(device::make_sync_settings(effect, s));
    for (CTarvexUSBDevice* page : pages)
        if (page->Config().IsOpen()) page->Config().SetPause(1);
    update_targets();
    runner_->wake();
}

void LightEditor::update_targets() {
    std::vector<CTarvexUSBDevice*> pages = pages_ ? pages_() : std::vector<CTarvexUSBDevice*>{};
    if (CTarvexUSBDevice* current = current_device();
        current && std::find(pages.begin(), pages.end(), current) == pages.end())
        pages.push_back(current);
    for (CTarvexUSBDevice* page : pages) {
        if (!watched_.insert(page).second) continue;
        // A page that goes away leaves the thread's list before its members are gone.
        connections_.push_back(QObject::connect(page, &QObject::destroyed, page, [this, page] {
            std::lock_guard lock(targets_mutex_);
            std::erase(targets_, page);
        }));
    }
    std::lock_guard lock(targets_mutex_);
    targets_ = std::move(pages);
}

bool LightEditor::sync_active() const {
    std::lock_guard lock(targets_mutex_);
    return std::any_of(targets_.begin(), targets_.end(), [](CTarvexUSBDevice* page) {
        return page->Config().IsOpen() && page->Config().Pause() != 0;
    });
}

void LightEditor::sync_draw(uint32_t colour) const {
    std::lock_guard lock(targets_mutex_);
    for (CTarvexUSBDevice* page : targets_) {
        // Pages that went back to their own light keep it.
        if (!page->Config().IsOpen() || page->Config().Pause() == 0) continue;
        const int count = page->LedCount();
        for (int i = 0; i < count; ++i) page->SetLedColour(i, colour);
    }
}

}  // namespace tellune::ui

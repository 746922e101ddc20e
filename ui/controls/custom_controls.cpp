#include "ui/controls/custom_controls.h"

#include "ui/app/control_factory.h"
#include "ui/controls/circle_progress.h"
#include "ui/controls/device_key_button.h"
#include "ui/controls/select_panel.h"

namespace tellune::ui {

void register_custom_controls() {
    ControlFactory::register_tag(CSelectPanelUI::kClassName,
                                 [](QWidget* parent, const QString&, ControlFactory&) {
                                     return new CSelectPanelUI(parent);
                                 });
    ControlFactory::register_tag(CDeviceKeyButtonUI::kClassName,
                                 [](QWidget* parent, const QString&, ControlFactory& factory) {
                                     auto* button = new CDeviceKeyButtonUI(parent);
                                     (void)factory;
                                     return button;
                                 });
    ControlFactory::register_tag(CCircleProgressUI::kClassName,
                                 [](QWidget* parent, const QString&, ControlFactory&) {
                                     return new CCircleProgressUI(parent);
                                 });
}

void ensure_custom_controls() {
    if (!ControlFactory::has_creator(CCircleProgressUI::kClassName)) register_custom_controls();
}

void unregister_custom_controls() {
    ControlFactory::unregister_tag(CSelectPanelUI::kClassName);
    ControlFactory::unregister_tag(CDeviceKeyButtonUI::kClassName);
    ControlFactory::unregister_tag(CCircleProgressUI::kClassName);
}

}  // namespace tellune::ui

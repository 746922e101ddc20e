#include "ui/profile/device_profile_ui.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QScreen>
#include <QSignalBlocker>
#include <vector>

#include "core/profile/device_folders.h"
#include "ui/app/window_scale.h"
#include "ui/device/tarvex_usb_device.h"

namespace tellune::ui {
namespace {

// Tab n of the page is kTabNames[n - 1].
constexpr const char* kTabNames[CDeviceProfileUI::kTabCount] = {
    "deng_Op_tab",   "key_Op_tab",        "macro_Op_tab", "system_Op_tab",
    "cursor_Op_tab", "6533_voice_Op_tab", "magic_Op_tab", "Virtual7.1_Op_tab"};
constexpr int kTabKey = 2, kTabMacro = 3, kTabSystem = 4, kTabCursor = 5, kTabVoice = 6,
              kTabMagic = 7, kTabVirtual = 8;

QString to_q(const std::string& s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

std::string to_std(const QString& s) {
    return s.toUtf8().toStdString();
}

}  // namespace

CDeviceProfileUI::CDeviceProfileUI(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("device_profile"));
}

void CDeviceProfileUI::set_device_kind(int kind) {
    list_.set_kind(kind);
}

void CDeviceProfileUI::set_paths(const std::string& user_folder,
                                 const std::string& default_profile_file) {
    list_.set_paths(user_folder, default_profile_file);
}

QComboBox* CDeviceProfileUI::combo() {
    if (!combo_) combo_ = findChild<QComboBox*>(QStringLiteral("device_profile_combo"));
    return combo_;
}

QLineEdit* CDeviceProfileUI::name_edit() {
    if (!name_edit_) name_edit_ = findChild<QLineEdit*>(QStringLiteral("device_profile_name_edit"));
    return name_edit_;
}

QWidget* CDeviceProfileUI::menu() {
    if (menu_) return menu_;
    menu_ = findChild<QWidget*>(QStringLiteral("profile_menu_layout"));
    if (menu_ && !menu_->isWindow()) {
        // A pop-up under the bar: opened, it takes no room in the bar, so it never widens
        // the page or the window.
        menu_->setParent(this, Qt::Popup);
        menu_->setAttribute(Qt::WA_StyledBackground);
        menu_->hide();
    }
    return menu_;
}

QWidget* CDeviceProfileUI::find_in_page(const char* name) const {
    for (const QWidget* w = this; w; w = w->parentWidget()) {
        if (auto* found = w->findChild<QWidget*>(QLatin1String(name))) return found;
        // Other pages carry tabs of the same names: never look past our own.
        if (qobject_cast<const CTarvexUSBDevice*>(w) || w->isWindow()) break;
    }
    return nullptr;
}

QAbstractButton* CDeviceProfileUI::tab(int n) {
    if (n < 1 || n > kTabCount) return nullptr;
    QPointer<QAbstractButton>& cached = tabs_[n - 1];
    if (!cached) cached = qobject_cast<QAbstractButton*>(find_in_page(kTabNames[n - 1]));
    return cached;
}

bool CDeviceProfileUI::init() {
    menu();  // made a pop-up before the bar is first laid out
    const bool ok = list_.init();
    fill_combo();
    if (list_.initialised()) select(list_.current_index(), false);
    hide_tabs_for_kind();
    return ok;
}

void CDeviceProfileUI::hide_tabs_for_kind() {
    std::vector<int> hidden, shown;
    switch (list_.kind()) {
        case kDeviceKeyboard:
            hidden = {kTabCursor};
            break;
        case kDeviceMousePad:
        case 5:
            hidden = {kTabCursor, kTabMacro, kTabSystem, kTabKey};
            break;
        case 4:
            hidden = {kTabCursor, kTabMacro, kTabKey};
            break;
        case kDeviceHeadset:
            hidden = {kTabCursor, kTabMacro, kTabSystem, kTabKey};
            shown = {kTabVoice, kTabMagic, kTabVirtual};
            break;
        default:  // the mouse, directly or through its receiver, uses every tab it has
            break;
    }
    for (int n : hidden)
        if (QAbstractButton* t = tab(n)) t->setVisible(false);
    for (int n : shown)
        if (QAbstractButton* t = tab(n)) t->setVisible(true);
}

void CDeviceProfileUI::fill_combo() {
    QComboBox* box = combo();
    if (!box) return;
    const QSignalBlocker quiet(box);
    box->clear();
    for (const ProfileEntry& e : list_.entries()) {
        const QString text = to_q(e.name);
        box->addItem(text, text);
        box->setItemData(box->count() - 1, QSize(0, kItemHeight), Qt::SizeHintRole);
    }
    box->setCurrentIndex(list_.current_index());
}

void CDeviceProfileUI::select(int index, bool notify) {
    list_.select(index);
    const int selected = list_.current_index();
    if (QComboBox* box = combo()) {
        // Items may be stale when another page of the same kind changed the list.
        if (box->count() != list_.size()) fill_combo();
        box->setFocus(Qt::OtherFocusReason);
        if (notify) {
            box->setCurrentIndex(selected);
        } else {
            const QSignalBlocker quiet(box);
            box->setCurrentIndex(selected);
        }
    }
    set_name(to_q(list_.selected_name()));
}

int CDeviceProfileUI::current_index() const {
    const QComboBox* box =
        combo_ ? combo_.data() : findChild<QComboBox*>(QStringLiteral("device_profile_combo"));
    return box ? box->currentIndex() : -1;
}

QString CDeviceProfileUI::name() const {
    const QLineEdit* edit = name_edit_
                                ? name_edit_.data()
                                : findChild<QLineEdit*>(QStringLiteral("device_profile_name_edit"));
    return edit ? edit->text() : QString();
}

void CDeviceProfileUI::set_name(const QString& name) {
    if (QLineEdit* edit = name_edit()) edit->setText(name);
}

void CDeviceProfileUI::show_menu(bool show) {
    QWidget* m = menu();
    if (!m) return;
    if (!show) {
        m->hide();
        return;
    }
    // Below the button that opens it, or above it where the screen ends.
    const QWidget* anchor = findChild<QWidget*>(QStringLiteral("profile_fun_spread_btn"));
    if (!anchor) anchor = this;
    m->adjustSize();
    QRect rect(anchor->mapToGlobal(QPoint(0, anchor->height())), m->sizeHint());
    if (const QScreen* screen = anchor->screen()) {
        const QRect area = screen->availableGeometry();
        if (rect.bottom() > area.bottom())
            rect.moveBottom(anchor->mapToGlobal(QPoint(0, 0)).y() - 1);
        rect = fit_into(rect, area);
    }
    m->setGeometry(rect);
    m->show();
}

bool CDeviceProfileUI::menu_shown() const {
    return menu_ && !menu_->isHidden();
}

void CDeviceProfileUI::select_tab(int n) {
    QAbstractButton* tabs[kTabCount];
    for (int i = 0; i < kTabCount; ++i)
        if (!(tabs[i] = tab(i + 1))) return;
    // Any other number leaves the last tab as it is.
    const int count = n >= 1 && n <= kTabCount ? kTabCount : kTabCount - 1;
    for (int i = 0; i < count; ++i) {
        const QSignalBlocker quiet(tabs[i]);
        // Exclusive buttons refuse to be cleared; the rule is set here, not by the group.
        const bool exclusive = tabs[i]->autoExclusive();
        tabs[i]->setAutoExclusive(false);
        tabs[i]->setChecked(i + 1 == n);
        tabs[i]->setAutoExclusive(exclusive);
    }
}

int CDeviceProfileUI::add() {
    const int index = list_.add();
    fill_combo();
    return index;
}

int CDeviceProfileUI::copy() {
    const int index = list_.copy();
    fill_combo();
    return index;
}

int CDeviceProfileUI::remove() {
    const int index = list_.remove();
    fill_combo();
    if (index >= 0) set_name(to_q(list_.selected_name()));
    return index;
}

int CDeviceProfileUI::rename(const QString& name) {
    const int result = list_.rename(to_std(name));
    fill_combo();
    if (result == ProfileList::kRenameDone) set_name(to_q(list_.selected_name()));
    return result;
}

bool CDeviceProfileUI::reset() {
    const bool ok = list_.reset();
    fill_combo();
    return ok;
}

int CDeviceProfileUI::import_profile(const QString& path) {
    const int index = list_.import_profile(to_std(path));
    fill_combo();
    return index;
}

bool CDeviceProfileUI::export_profile(const QString& path) {
    const bool ok = list_.export_profile(to_std(path));
    fill_combo();
    return ok;
}

QString CDeviceProfileUI::selected_uuid() const {
    return to_q(list_.selected_uuid());
}

CDeviceProfileUI* find_profile_bar(QWidget* page) {
    return page ? page->findChild<CDeviceProfileUI*>() : nullptr;
}

}  // namespace tellune::ui

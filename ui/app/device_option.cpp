#include "ui/app/device_option.h"

#include <QAbstractButton>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QTimer>
#include <algorithm>

#include "ui/app/text_table.h"
#include "ui/controls/device_key_button.h"
#include "ui/device/tarvex_usb_device.h"

namespace tellune::ui {
namespace {

constexpr const char* kSuffixes[4] = {"_device_normal.png", "_device_selected.png",
                                      "_device_synchro_normal.png", "_device_synchro_selected.png"};
constexpr int kFirstPreviewMs = 5;
constexpr int kStatusPeriodMs = 5000;
constexpr int kRefreshDelayMs = 500;

QString image_path(const QString& file) {
    return CDeviceKeyButtonUI::image_folder() + file;
}

}  // namespace

QString device_icon_prefix(int kind, int variant) {
    switch (kind) {
        case 1:
            return QStringLiteral("kb");
        case 2:
            return QStringLiteral("ms");
        case 3:
            if (variant == 0) return QStringLiteral("hard_mp");
            if (variant == 1) return QStringLiteral("soft_mp");
            return {};
        case 4:
        case 7:
            return QStringLiteral("hd");
        case 5:
            return QStringLiteral("hub");
        default:
            return QStringLiteral("unknow");
    }
}

void set_label_image(QLabel* label, const QString& file) {
    if (!label) return;
    label->setProperty("imagefile", file);
    const QPixmap pixmap(image_path(file));
    if (!pixmap.isNull())
        label->setPixmap(pixmap.scaled(label->maximumSize().boundedTo(pixmap.size() * 2),
                                       Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

// --- CDeviceOptionUI ---

CDeviceOptionUI::CDeviceOptionUI(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_StyledBackground);
    setCursor(Qt::PointingHandCursor);
    for (int i = 0; i < 4; ++i)
        images_[size_t(i)] = QStringLiteral("common/device_ico/unknow") + kSuffixes[i];
}

CDeviceOptionUI::~CDeviceOptionUI() = default;

void CDeviceOptionUI::mousePressEvent(QMouseEvent* e) {
    // The icon and the check take their own clicks; what reaches here is the rest.
    if (e->button() == Qt::LeftButton)
        e->accept();
    else
        QWidget::mousePressEvent(e);
}

void CDeviceOptionUI::mouseReleaseEvent(QMouseEvent* e) {
    QAbstractButton* button = SelectButton();
    if (e->button() != Qt::LeftButton || !rect().contains(e->position().toPoint()) || !button ||
        !button->isEnabled() || !button->isVisibleTo(this)) {
        QWidget::mouseReleaseEvent(e);
        return;
    }
    button->click();  // the same route as a click on the icon
    e->accept();
}

QAbstractButton* CDeviceOptionUI::SelectButton() const {
    return findChild<QAbstractButton*>(QStringLiteral("device_select"));
}

QAbstractButton* CDeviceOptionUI::SynchroCheck() const {
    return findChild<QAbstractButton*>(QStringLiteral("synchro_device_select"));
}

QLabel* CDeviceOptionUI::NameLabel() const {
    return findChild<QLabel*>(QStringLiteral("device_select_name"));
}

void CDeviceOptionUI::SetKindAndVariant(int kind, int variant) {
    kind_ = kind;
    variant_ = variant;
    const QString prefix = device_icon_prefix(kind, variant);
    if (prefix.isEmpty()) return;  // no icon set for it: keep the current one
    for (int i = 0; i < 4; ++i)
        images_[size_t(i)] = QStringLiteral("common/device_ico/") + prefix + kSuffixes[i];
    name_text_id_ = prefix + QStringLiteral("_device_name_text");
    if (QLabel* name = NameLabel()) set_text_id(name, name_text_id_);
    apply_icons();
}

void CDeviceOptionUI::apply_icons() {
    QAbstractButton* button = SelectButton();
    if (!button) return;
    const bool synchro = IsSynchronised();
    QIcon icon;
    icon.addFile(image_path(images_[synchro ? kSynchroNormal : kNormal]), {}, QIcon::Normal,
                 QIcon::Off);
    icon.addFile(image_path(images_[synchro ? kSynchroSelected : kSelected]), {}, QIcon::Normal,
                 QIcon::On);
    button->setIcon(icon);
    button->setProperty("iconimage", images_[synchro ? kSynchroNormal : kNormal]);
}

void CDeviceOptionUI::BindPageTab(const QString& layout_name, int index) {
    page_tab_name_ = layout_name;
    page_tab_index_ = index;
}

void CDeviceOptionUI::BindPowerWidget(const QString& name, int index) {
    power_name_ = name;
    power_index_ = index;
}

void CDeviceOptionUI::SetDisplayName(const QString& text) {
    QLabel* name = NameLabel();
    if (!name) return;
    set_text_id(name, {});
    name->setText(text);
}

void CDeviceOptionUI::SetPage(CTarvexUSBDevice* page) {
    page_ = page;
    if (page) page->SetOptionEntry(this);
}

CTarvexUSBDevice* CDeviceOptionUI::GetPage() const {
    return qobject_cast<CTarvexUSBDevice*>(page_.data());
}

void CDeviceOptionUI::SetSynchronised(bool on) {
    if (QAbstractButton* check = SynchroCheck()) {
        const QSignalBlocker quiet(check);
        check->setChecked(on);
    }
    apply_icons();
}

bool CDeviceOptionUI::IsSynchronised() const {
    QAbstractButton* check = SynchroCheck();
    return check && check->isChecked();
}

void CDeviceOptionUI::UpdateSynchronisedImages() {
    apply_icons();
}

void CDeviceOptionUI::SetSynchroEnabled(bool on) {
    if (QAbstractButton* check = SynchroCheck()) check->setEnabled(on);
}

bool CDeviceOptionUI::IsSynchroEnabled() const {
    QAbstractButton* check = SynchroCheck();
    return check && check->isEnabled();
}

void CDeviceOptionUI::SetPresent(bool on) {
    present_ = on;
    setVisible(on);
}

void CDeviceOptionUI::Select(bool on) {
    if (QAbstractButton* button = SelectButton()) {
        // Selection set by the program is not a user's choice: no notification.
        const QSignalBlocker quiet(button);
        button->setChecked(on);
    }
    selected_ = on;
    setProperty("selected", on);
}

bool CDeviceOptionUI::IsSelected() const {
    return selected_;
}

void CDeviceOptionUI::StartRefresh() {
    StartTimer(kTimerConnect, kRefreshDelayMs);
}

void CDeviceOptionUI::StopRefresh() {
    for (int id : {kTimerConnect, kTimerLightPreview, kTimerStatusPoll, kTimerReload,
                   kTimerDeviceOp15, kTimerDeviceOp16})
        KillTimer(id);
}

void CDeviceOptionUI::StartTimer(int id, int ms) {
    timers_.start(id, ms);
}

void CDeviceOptionUI::KillTimer(int id) {
    timers_.kill(id);
}

bool CDeviceOptionUI::IsTimerActive(int id) const {
    return timers_.active(id);
}

void CDeviceOptionUI::on_timer(int id) {
    CTarvexUSBDevice* page = GetPage();
    if (!page) return;
    switch (id) {
        case kTimerConnect:
            page->connect_device();
            StartTimer(kTimerLightPreview, kFirstPreviewMs);
            if (page->StatusPoll()) StartTimer(kTimerStatusPoll, kStatusPeriodMs);
            break;
        case kTimerLightPreview:
            // The LED buttons repaint themselves when their colour changes; repainting the
            // whole picture every tick cost a few percent of a core for nothing.
            page->refresh_light_preview();
            StartTimer(kTimerLightPreview, CDeviceOptionUI::kPreviewPeriodMs);
            break;
        case kTimerReload:
            page->reload_from_device();
            break;
        case kTimerDeviceOp15:
            page->device_operation_15();
            break;
        case kTimerDeviceOp16:
            page->device_operation_16();
            break;
        case kTimerStatusPoll:
            page->poll_device_status();
            if (page->StatusPoll() && page->Config().IsOpen())
                StartTimer(kTimerStatusPoll, kStatusPeriodMs);
            break;
        default:
            break;
    }
}

// --- CMpDevicePowerUI ---

CMpDevicePowerUI::CMpDevicePowerUI(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_StyledBackground);
}

void CMpDevicePowerUI::SetKindAndVariant(int kind, int variant) {
    kind_ = kind;
    variant_ = variant;
}

void CMpDevicePowerUI::ShowPower(bool on) {
    if (QWidget* part = findChild<QWidget*>(QStringLiteral("device_power_Layout")))
        part->setVisible(on);
}

void CMpDevicePowerUI::ShowStatus(const uint8_t* report, size_t length) {
    auto* value = findChild<QLabel*>(QStringLiteral("device_power_value"));
    auto* wireless = findChild<QWidget*>(QStringLiteral("device_wuxian_logo"));
    auto* progress = findChild<QProgressBar*>(QStringLiteral("device_Power_progress"));
    auto* status = findChild<QLabel*>(QStringLiteral("device_power_status"));
    auto* phone = findChild<QLabel*>(QStringLiteral("device_phone_type"));
    if (!value || !wireless || !progress || !status || !phone) return;

    std::array<uint8_t, kStatusSize> bytes{};
    if (report) std::copy_n(report, std::min(length, kStatusSize), bytes.begin());

    const int level = bytes[0];
    value->setText(QString::asprintf("%d%s", level, "%"));
    // The bar is drawn as the part used up; a level above 100 reads as full.
    progress->setValue(std::clamp(100 - level, progress->minimum(), progress->maximum()));
    switch (bytes[1]) {
        case 0:
            progress->show();
            set_label_image(status, QStringLiteral("power/powered.png"));
            break;
        case 1:
            progress->hide();
            set_label_image(status, QStringLiteral("power/powering.png"));
            break;
        case 2:
            progress->hide();
            set_label_image(status, QStringLiteral("power/power.png"));
            break;
        default:
            break;
    }
    wireless->setVisible(bytes[3] != 0);
    if (kind_ == 3) {
        QString name;
        switch (bytes[5]) {
            case 1:
                name = QStringLiteral("Phone_type_iphone");
                break;
            case 2:
                name = QStringLiteral("Phone_type_samsung");
                break;
            case 3:
                name = QStringLiteral("Phone_type_other");
                break;
            default:
                name = QStringLiteral("Phone_type_no_device");
                break;
        }
        phone->setProperty("phonetype", name);
        phone->setToolTip(texts().text(name));
        set_label_image(phone, QStringLiteral("power/") + name + QStringLiteral(".png"));
    }
}

}  // namespace tellune::ui

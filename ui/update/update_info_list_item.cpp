#include "ui/update/update_info_list_item.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/app/control_factory.h"
#include "ui/app/text_table.h"
#include "ui/controls/circle_progress.h"
#include "ui/controls/custom_controls.h"

namespace tellune::ui {
namespace {

struct StatusLook {
    const char* text_id;
    bool ring;
    bool mark;
    bool check_enabled;
    unsigned normal, second;  // ARGB
};

constexpr unsigned kWhite = 0xFFFFFFFF, kGrey = 0xFF666666, kBlue = 0xFF0099FF,
                   kDarkBlue = 0xFF0078C8;

constexpr StatusLook kLooks[9] = {
    {"LessUpdateText", false, false, false, kWhite, kGrey},
    {"NeedUpdateText", false, false, true, kBlue, kDarkBlue},
    {"NeedUpdateText", false, false, true, kBlue, kDarkBlue},
    {"DownloadWaitText", false, false, false, kBlue, kDarkBlue},
    {"DownloadIngText", true, false, false, kBlue, kDarkBlue},
    {"DownloadOkText", false, true, false, kBlue, kDarkBlue},
    {"UpdateIngText", true, false, false, kBlue, kDarkBlue},
    {"UpdateOkText", false, false, false, kWhite, kGrey},
    {"UpdateFailText", false, false, true, kBlue, kDarkBlue},
};

QString colour_css(unsigned argb) {
    return QStringLiteral("color: #%1;").arg(argb & 0xFFFFFF, 6, 16, QLatin1Char('0'));
}

}  // namespace

CUpdateInfoListItemUI::CUpdateInfoListItemUI(ControlFactory& factory, QWidget* parent)
    : QWidget(parent) {
    setObjectName("update_list_line");
    ensure_custom_controls();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (QWidget* root =
            factory.load_layout("XML/CustomControlXML/device_Update_list_item.ui", this))
        layout->addWidget(root);
    check_ = findChild<QCheckBox*>("check_name_select");
    old_rev_ = findChild<QLabel*>("OldRev");
    new_rev_ = findChild<QLabel*>("updateRev");
    status_text_ = findChild<QLabel*>("update_status_text");
    progress_text_ = findChild<QLabel*>("update_progress_value");
    mark_ = findChild<QLabel*>("update_status_ok");
    ring_ = findChild<CCircleProgressUI*>("update_status_ing");
    if (mark_) mark_->setPixmap(QPixmap(factory.skin_folder() + "images/update_ok.svg"));
    if (check_)
        connect(check_, &QCheckBox::toggled, this, [this](bool on) { emit check_changed(on); });
    setFixedHeight(kHeight);
    set_status(7);
    set_progress(0);
    set_new_version({});
}

QString CUpdateInfoListItemUI::status_text_id(int status) {
    return status >= 0 && status <= 8 ? QString::fromLatin1(kLooks[status].text_id) : QString();
}

void CUpdateInfoListItemUI::set_status(int status) {
    if (status == status_ || status < 0 || status > 8) return;
    status_ = status;
    apply_status();
}

void CUpdateInfoListItemUI::apply_status() {
    const StatusLook& look = kLooks[status_];
    if (status_text_) set_text_id(status_text_, QString::fromLatin1(look.text_id));
    if (ring_) ring_->setVisible(look.ring);
    if (progress_text_) progress_text_->setVisible(look.ring);
    if (mark_) mark_->setVisible(look.mark);
    if (check_) check_->setEnabled(look.check_enabled);
    const QString normal = colour_css(look.normal), second = colour_css(look.second);
    if (check_) check_->setStyleSheet(normal);
    if (status_text_) status_text_->setStyleSheet(normal);
    if (old_rev_) old_rev_->setStyleSheet(second);
    if (new_rev_) new_rev_->setStyleSheet(second);
    if (progress_text_) progress_text_->setStyleSheet(normal);
    if (ring_) ring_->set_colour(QColor::fromRgba(look.normal));
}

void CUpdateInfoListItemUI::set_progress(int percent) {
    progress_ = percent;
    if (ring_) ring_->set_value(percent);
    if (progress_text_) progress_text_->setText(QStringLiteral("%1%2").arg(percent).arg('%'));
}

void CUpdateInfoListItemUI::set_name(const QString& name) {
    if (check_) check_->setText(name);
}

QString CUpdateInfoListItemUI::name() const {
    return check_ ? check_->text() : QString();
}

void CUpdateInfoListItemUI::set_current_version(const QString& text) {
    if (old_rev_) old_rev_->setText(text);
}

QString CUpdateInfoListItemUI::current_version() const {
    return old_rev_ ? old_rev_->text() : QString();
}

void CUpdateInfoListItemUI::set_new_version(const QString& text) {
    if (!new_rev_) return;
    new_rev_->setText(text);
    new_rev_->setVisible(!text.isEmpty());
}

QString CUpdateInfoListItemUI::new_version() const {
    return new_rev_ ? new_rev_->text() : QString();
}

bool CUpdateInfoListItemUI::checked() const {
    return check_ && check_->isChecked();
}

void CUpdateInfoListItemUI::set_checked(bool on) {
    if (check_) check_->setChecked(on);
}

bool CUpdateInfoListItemUI::check_enabled() const {
    return check_ && check_->isEnabled();
}

void CUpdateInfoListItemUI::set_check_enabled(bool on) {
    if (check_) check_->setEnabled(on);
}

void CUpdateInfoListItemUI::reload_texts() {
    retranslate(this);
}

}  // namespace tellune::ui

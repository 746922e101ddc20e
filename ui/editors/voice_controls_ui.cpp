#include "ui/editors/voice_controls_ui.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStandardItemModel>

#include "ui/app/control_factory.h"
#include "ui/controls/quiet_setters.h"

namespace tellune::ui {

namespace {

constexpr char kEqOption[] = "6533_eq_option_";
constexpr char kBandSlider[] = "6533_eq_hz_slider_";
constexpr char kUserArea[] = "custom_eq_option_layout";
constexpr char kNameCombo[] = "custom_eq_name_combo";
constexpr char kNameEdit[] = "custom_eq_name_edit";
constexpr char kMicOption[] = "6533_MicIn_option";
constexpr char kMicSlider[] = "6533_MicIn_slider";
constexpr char kMonitorOption[] = "6533_MicMoniter_option";
constexpr char kMonitorSlider[] = "6533_MicMoniter_slider";
constexpr char kUnavailableNote[] = "voice_unavailable_note";
constexpr char kNotAppliedNote[] = "voice_eq_note";
constexpr char kMagicOption[] = "magic_enable_option";
constexpr char kMagicArea[] = "magic_option_layout";
constexpr char kVoiceOption[] = "magic_option_";
constexpr char kMagicNote[] = "magic_unavailable_note";

int slider_value(QAbstractSlider* s) {
    return s ? s->value() : -1;
}

}  // namespace

// --- voice page ---

CVoice6533ControlUI::CVoice6533ControlUI(QWidget* parent) : QWidget(parent) {}

template <class T>
T* CVoice6533ControlUI::named(const QString& name) {
    QPointer<QWidget>& slot = controls_[name];
    if (!slot) slot = findChild<T*>(name);
    return qobject_cast<T*>(slot.data());
}

void CVoice6533ControlUI::prepare() {
    if (prepared_) return;
    prepared_ = true;
    for (int i = 0; i < kBands; ++i)
        if (auto* s = indexed<QAbstractSlider>(kBandSlider, i)) {
            const QSignalBlocker block(s);
            s->setRange(kBandMin, kBandMax);
        }
    for (const char* name : {kMicSlider, kMonitorSlider})
        if (auto* s = named<QAbstractSlider>(QLatin1String(name))) {
            const QSignalBlocker block(s);
            s->setRange(0, 100);
        }
}

void CVoice6533ControlUI::SelectEqualiser(int n) {
    for (int i = 1; i <= kEqualiserTypes; ++i)
        set_checked_quietly(indexed<QAbstractButton>(kEqOption, i), false);
    if (n < 1 || n > kEqualiserTypes) {
        selected_ = 0;
        return;
    }
    set_checked_quietly(indexed<QAbstractButton>(kEqOption, n), true);
    selected_ = n;
}

void CVoice6533ControlUI::EnableUserEqualiser(bool on) {
    if (auto* area = named<QWidget>(QLatin1String(kUserArea))) area->setEnabled(on);
}

bool CVoice6533ControlUI::UserEqualiserEnabled() {
    auto* area = named<QWidget>(QLatin1String(kUserArea));
    return area && area->isEnabled();
}

void CVoice6533ControlUI::SetBand(int i, int value) {
    prepare();
    set_value_quietly(indexed<QAbstractSlider>(kBandSlider, i), value);
}

int CVoice6533ControlUI::GetBand(int i) {
    return slider_value(indexed<QAbstractSlider>(kBandSlider, i));
}

void CVoice6533ControlUI::SetMicOn(bool on) {
    set_checked_quietly(named<QAbstractButton>(QLatin1String(kMicOption)), on);
}

bool CVoice6533ControlUI::MicOn() {
    auto* b = named<QAbstractButton>(QLatin1String(kMicOption));
    return b && b->isChecked();
}

void CVoice6533ControlUI::SetMicLevel(int v) {
    prepare();
    set_value_quietly(named<QAbstractSlider>(QLatin1String(kMicSlider)), v);
}

int CVoice6533ControlUI::GetMicLevel() {
    return slider_value(named<QAbstractSlider>(QLatin1String(kMicSlider)));
}

void CVoice6533ControlUI::SetMonitorOn(bool on) {
    set_checked_quietly(named<QAbstractButton>(QLatin1String(kMonitorOption)), on);
}

bool CVoice6533ControlUI::MonitorOn() {
    auto* b = named<QAbstractButton>(QLatin1String(kMonitorOption));
    return b && b->isChecked();
}

void CVoice6533ControlUI::SetMonitorLevel(int v) {
    prepare();
    set_value_quietly(named<QAbstractSlider>(QLatin1String(kMonitorSlider)), v);
}

int CVoice6533ControlUI::GetMonitorLevel() {
    return slider_value(named<QAbstractSlider>(QLatin1String(kMonitorSlider)));
}

void CVoice6533ControlUI::EnableMonitoring(bool on) {
    for (const char* name : {kMonitorOption, kMonitorSlider})
        if (auto* w = named<QWidget>(QLatin1String(name))) w->setEnabled(on);
}

void CVoice6533ControlUI::AddUserEqualiserName(const QString& name) {
    auto* combo = named<QComboBox>(QLatin1String(kNameCombo));
    if (!combo) return;
    const QSignalBlocker block(combo);
    // The name as typed: the text is not a text id.
    combo->addItem(name, name);
    const int row = combo->count() - 1;
    if (auto* model = qobject_cast<QStandardItemModel*>(combo->model()))
        if (QStandardItem* item = model->item(row)) item->setSizeHint(QSize(0, kItemHeight));
    combo->setCurrentIndex(-1);
}

void CVoice6533ControlUI::RemoveUserEqualiser(int index) {
    auto* combo = named<QComboBox>(QLatin1String(kNameCombo));
    if (!combo || index < 0 || index >= combo->count()) return;
    const QSignalBlocker block(combo);
    combo->removeItem(index);
    combo->setCurrentIndex(-1);
}

void CVoice6533ControlUI::ClearUserEqualisers() {
    auto* combo = named<QComboBox>(QLatin1String(kNameCombo));
    if (!combo) return;
    const QSignalBlocker block(combo);
    combo->clear();
}

int CVoice6533ControlUI::UserEqualiserCount() {
    auto* combo = named<QComboBox>(QLatin1String(kNameCombo));
    return combo ? combo->count() : 0;
}

int CVoice6533ControlUI::SelectedUserEqualiser() {
    auto* combo = named<QComboBox>(QLatin1String(kNameCombo));
    return combo ? combo->currentIndex() : -1;
}

QString CVoice6533ControlUI::UserEqualiserName(int index) {
    auto* combo = named<QComboBox>(QLatin1String(kNameCombo));
    if (!combo || index < 0 || index >= combo->count()) return {};
    return combo->itemData(index).toString();
}

void CVoice6533ControlUI::SelectUserEqualiser(int index) {
    set_index_quietly(named<QComboBox>(QLatin1String(kNameCombo)), index);
    SetNewName(QString());
}

QString CVoice6533ControlUI::GetNewName() {
    auto* edit = named<QLineEdit>(QLatin1String(kNameEdit));
    return edit ? edit->text().trimmed() : QString();
}

void CVoice6533ControlUI::SetNewName(const QString& text) {
    if (auto* edit = named<QLineEdit>(QLatin1String(kNameEdit))) {
        const QSignalBlocker block(edit);
        edit->setText(text);
    }
}

void CVoice6533ControlUI::ShowAudioUnavailable(bool unavailable) {
    if (auto* note = named<QWidget>(QLatin1String(kUnavailableNote))) note->setVisible(unavailable);
    if (auto* body = named<QWidget>(QStringLiteral("voice_body"))) body->setEnabled(!unavailable);
}

void CVoice6533ControlUI::ShowEqualiserNotApplied(bool not_applied) {
    if (auto* note = named<QWidget>(QLatin1String(kNotAppliedNote))) note->setVisible(not_applied);
}

// --- magic voice page ---

CMagicControlUI::CMagicControlUI(QWidget* parent) : QWidget(parent) {}

template <class T>
T* CMagicControlUI::named(const QString& name) {
    QPointer<QWidget>& slot = controls_[name];
    if (!slot) slot = findChild<T*>(name);
    return qobject_cast<T*>(slot.data());
}

void CMagicControlUI::SetMagicOn(bool on) {
    set_checked_quietly(named<QAbstractButton>(QLatin1String(kMagicOption)), on);
    if (auto* area = named<QWidget>(QLatin1String(kMagicArea))) area->setEnabled(on);
}

bool CMagicControlUI::IsMagicOn() {
    auto* b = named<QAbstractButton>(QLatin1String(kMagicOption));
    return b && b->isChecked();
}

void CMagicControlUI::SelectVoice(int n) {
    for (int i = 1; i <= kVoices; ++i)
        set_checked_quietly(
            named<QAbstractButton>(QLatin1String(kVoiceOption) + QString::number(i)), false);
    if (n < 1 || n > kVoices) {
        selected_ = 0;
        return;
    }
    set_checked_quietly(named<QAbstractButton>(QLatin1String(kVoiceOption) + QString::number(n)),
                        true);
    selected_ = n;
}

void CMagicControlUI::ShowUnavailable(bool unavailable) {
    if (auto* note = named<QWidget>(QLatin1String(kMagicNote))) note->setVisible(unavailable);
    if (auto* option = named<QWidget>(QLatin1String(kMagicOption)))
        option->setEnabled(!unavailable);
    if (unavailable)
        if (auto* area = named<QWidget>(QLatin1String(kMagicArea))) area->setEnabled(false);
}

void register_voice_controls() {
    ControlFactory::register_tag(QLatin1String(CVoice6533ControlUI::kClassName),
                                 [](QWidget* parent, const QString& name, ControlFactory&) {
                                     auto* w = new CVoice6533ControlUI(parent);
                                     w->setObjectName(name);
                                     return w;
                                 });
    ControlFactory::register_tag(QLatin1String(CMagicControlUI::kClassName),
                                 [](QWidget* parent, const QString& name, ControlFactory&) {
                                     auto* w = new CMagicControlUI(parent);
                                     w->setObjectName(name);
                                     return w;
                                 });
}

void unregister_voice_controls() {
    ControlFactory::unregister_tag(QLatin1String(CVoice6533ControlUI::kClassName));
    ControlFactory::unregister_tag(QLatin1String(CMagicControlUI::kClassName));
}

}  // namespace tellune::ui

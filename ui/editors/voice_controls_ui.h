#pragma once
// The headset's voice page (equaliser presets, ten band sliders, user equalisers, microphone
// and monitoring; layout XML/CustomControlXML/Voice6533Control.ui) and its magic voice page
// (voice changer switch and four voices; XML/CustomControlXML/MagicControl.ui).
//
// Both are thin views: they hold no settings. The main window routes their notifications to
// the headset's device control, which changes the audio settings and shows them here through
// these operations. Setting a control from here never sends a notification. A control the
// layout lacks makes its setter do nothing and its getter answer -1 (or "").

#include <QHash>
#include <QPointer>
#include <QString>
#include <QWidget>

class QAbstractButton;
class QAbstractSlider;
class QComboBox;
class QLabel;
class QLineEdit;

namespace tellune::ui {

class CVoice6533ControlUI : public QWidget {
    Q_OBJECT
public:
    static constexpr char kClassName[] = "Voice6533Control";
    static constexpr int kEqualiserTypes = 13;
    static constexpr int kBands = 10;
    static constexpr int kItemHeight = 30;
    static constexpr int kBandMin = -20;  // covers every preset's gains (-13..18 dB)
    static constexpr int kBandMax = 20;

    explicit CVoice6533ControlUI(QWidget* parent = nullptr);

    // Unselects all 13 options, then selects option n; outside 1..13 none stays selected.
    void SelectEqualiser(int n);
    int SelectedEqualiser() const { return selected_; }
    void EnableUserEqualiser(bool on);
    bool UserEqualiserEnabled();
    void SetBand(int i, int value);
    int GetBand(int i);
    void SetMicOn(bool on);
    bool MicOn();
    void SetMicLevel(int v);
    int GetMicLevel();
    void SetMonitorOn(bool on);
    bool MonitorOn();
    void SetMonitorLevel(int v);
    int GetMonitorLevel();
    // Monitoring controls usable or not (a card without a sidetone has none).
    void EnableMonitoring(bool on);

    void AddUserEqualiserName(const QString& name);
    void RemoveUserEqualiser(int index);
    void ClearUserEqualisers();
    int UserEqualiserCount();
    int SelectedUserEqualiser();
    QString UserEqualiserName(int index);
    // Selects the entry quietly and clears the name edit; -1 clears the selection.
    void SelectUserEqualiser(int index);
    // The typed name, trimmed.
    QString GetNewName();
    void SetNewName(const QString& text);

    // The short notes under the page: the whole page unusable without the audio library, or
    // the equaliser kept but not applied by it.
    void ShowAudioUnavailable(bool unavailable);
    void ShowEqualiserNotApplied(bool not_applied);

private:
    template <class T>
    T* named(const QString& name);
    template <class T>
    T* indexed(const char* prefix, int n) {
        return named<T>(QString::fromLatin1(prefix) + QString::number(n));
    }
    void prepare();

    QHash<QString, QPointer<QWidget>> controls_;
    int selected_ = 0;
    bool prepared_ = false;
};

class CMagicControlUI : public QWidget {
    Q_OBJECT
public:
    static constexpr char kClassName[] = "MagicControl";
    static constexpr int kVoices = 4;

    explicit CMagicControlUI(QWidget* parent = nullptr);

    // Selects or clears the switch quietly and enables or disables the voices' area.
    void SetMagicOn(bool on);
    bool IsMagicOn();
    // As SelectEqualiser for the four voices.
    void SelectVoice(int n);
    int SelectedVoice() const { return selected_; }
    // The voice changer is not there at all (the library does not offer it).
    void ShowUnavailable(bool unavailable);

private:
    template <class T>
    T* named(const QString& name);

    QHash<QString, QPointer<QWidget>> controls_;
    int selected_ = 0;
};

// The two tags of the control factory.
void register_voice_controls();
void unregister_voice_controls();

}  // namespace tellune::ui

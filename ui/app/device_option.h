#pragma once
// The device selector: CDeviceOptionUI, one entry per device page (icon, name, selection,
// the synchronised-lighting check and the timers that drive the page's periodic work), and
// CMpDevicePowerUI, one battery and link widget per page.

#include <QHash>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <array>
#include <cstddef>
#include <cstdint>

#include "ui/app/timer_set.h"

class QAbstractButton;
class QLabel;
class QMouseEvent;
class QProgressBar;
class QTimer;

namespace tellune::ui {

class CTarvexUSBDevice;

enum EntryTimer : int {
    kTimerLightPreview = 1000,  // every 50 ms: refresh_light_preview
    kTimerConnect = 1001,       // 500 ms after arrival: connect_device
    kTimerReload = 1002,        // reload_from_device
    kTimerDeviceOp15 = 1003,
    kTimerDeviceOp16 = 1004,
    kTimerStatusPoll = 1005,  // every 5000 ms: poll_device_status
};

// "common/device_ico/" + prefix + suffix for a kind and variant; empty when the icon table
// has no entry (a mouse pad of another variant), which keeps the icons as they are.
QString device_icon_prefix(int kind, int variant);

class CDeviceOptionUI : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kClassName = "DeviceOption";
    // How often the selected page's picture takes the light thread's frame.
    static constexpr int kPreviewPeriodMs = 50;
    enum Image { kNormal, kSelected, kSynchroNormal, kSynchroSelected };

    explicit CDeviceOptionUI(QWidget* parent = nullptr);
    ~CDeviceOptionUI() override;
    QString GetClass() const { return QString::fromLatin1(kClassName); }

    void SetKindAndVariant(int kind, int variant);
    int Kind() const { return kind_; }
    int Variant() const { return variant_; }
    QString ImageName(Image which) const { return images_[which]; }
    // The text id of the entry's name ("ms_device_name_text"), or empty.
    QString NameTextId() const { return name_text_id_; }

    void BindPageTab(const QString& layout_name, int index);
    int GetPageTabIndex() const { return page_tab_index_; }
    QString GetPageTabName() const { return page_tab_name_; }
    void BindPowerWidget(const QString& name, int index);
    int GetPowerWidgetIndex() const { return power_index_; }
    QString GetPowerWidgetName() const { return power_name_; }

    void SetGroup(const QString& name) { group_ = name; }
    QString Group() const { return group_; }
    void SetDisplayName(const QString& text);
    // Also tells the page which entry drives it.
    void SetPage(CTarvexUSBDevice* page);
    CTarvexUSBDevice* GetPage() const;
    // Repainted with every light frame while the entry is selected.

    void SetSynchronised(bool on);
    bool IsSynchronised() const;
    // Follows the check after the user toggled it.
    void UpdateSynchronisedImages();
    void SetSynchroEnabled(bool on);
    bool IsSynchroEnabled() const;

    void SetPresent(bool on);
    bool IsPresent() const { return present_; }
    void Select(bool on);
    bool IsSelected() const;

    // 500 ms later the page connects and its periodic work begins.
    void StartRefresh();
    // Stops the page's periodic work (the device went away).
    void StopRefresh();
    void StartTimer(int id, int ms);
    void KillTimer(int id);
    bool IsTimerActive(int id) const;

    QAbstractButton* SelectButton() const;
    QAbstractButton* SynchroCheck() const;
    QLabel* NameLabel() const;

protected:
    // The name and the space around it select the device as the icon does: people click
    // the name at least as often.
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    void on_timer(int id);
    void apply_icons();

    std::array<QString, 4> images_;
    QString name_text_id_;
    QString group_;
    int kind_ = 0;
    int variant_ = 0;
    QPointer<QWidget> page_;
    bool present_ = true;
    // Kept apart from the button, which a click unchecks before the selection is decided.
    bool selected_ = false;
    QString page_tab_name_;
    int page_tab_index_ = -1;
    QString power_name_;
    int power_index_ = -1;
    TimerSet timers_{this, [this](int id) { on_timer(id); }};
};

class CMpDevicePowerUI : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kClassName = "MpDevicePower";
    static constexpr size_t kStatusSize = 64;

    explicit CMpDevicePowerUI(QWidget* parent = nullptr);
    QString GetClass() const { return QString::fromLatin1(kClassName); }

    void SetKindAndVariant(int kind, int variant);
    int Kind() const { return kind_; }
    void ShowPower(bool on);
    // A status report of up to 64 bytes; a shorter one reads as zero-filled. Does nothing
    // unless the five status controls exist.
    void ShowStatus(const uint8_t* report, size_t length);

private:
    int kind_ = 0;
    int variant_ = 0;
};

// Shows `file` (relative to the skin folder) in `label` and remembers the name in the
// label's "imagefile" property.
void set_label_image(QLabel* label, const QString& file);

}  // namespace tellune::ui

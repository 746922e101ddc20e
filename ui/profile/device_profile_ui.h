#pragma once
// CDeviceProfileUI: the profile bar of a device page. The drop-down list of the device's
// profiles, the name edit with its save button, the fold-out panel of profile operations,
// and the page's function tabs. The profiles themselves live in a ProfileList; the drop-down
// list is refilled from it after every operation, so item i is always entry i.
//
// Built by the "DeviceProfile" tag as the root of XML/CustomControlXML/DeviceProfile.ui
// (the "DeviceProfileUI" sub-layout). The tabs belong to the page's layout; they are looked
// up in the bar first and then in its ancestors up to the device page.

#include <QPointer>
#include <QString>
#include <QWidget>
#include <string>

#include "core/profile/profile_list.h"

class QAbstractButton;
class QComboBox;
class QLineEdit;

namespace tellune::ui {

class CDeviceProfileUI : public QWidget {
    Q_OBJECT
public:
    static constexpr char kClassName[] = "DeviceProfile";
    static constexpr int kTabCount = 8;
    static constexpr int kItemHeight = 30;

    explicit CDeviceProfileUI(QWidget* parent = nullptr);

    void set_device_kind(int kind);
    int device_kind() const { return list_.kind(); }
    void set_paths(const std::string& user_folder, const std::string& default_profile_file);
    // Loads or creates the list, fills the drop-down list, selects the stored profile and
    // hides the tabs the device kind has no use for. False without a usable folder.
    bool init();
    bool initialised() const { return list_.initialised(); }

    // Selects entry `index` (entry 0 when it names none): the drop-down list shows it (and
    // notifies only with `notify`), the name edit takes its name, the list file stores it.
    void select(int index, bool notify);
    // The drop-down list's item, -1 when nothing is selected.
    int current_index() const;
    QString name() const;
    void set_name(const QString& name);
    void show_menu(bool show);
    bool menu_shown() const;
    // Tab n (1..8) selected, the others cleared, without notifications. Another n clears
    // tabs 1..7. Does nothing unless all eight tabs exist.
    void select_tab(int n);

    // The operations; results as ProfileList gives them.
    int add();
    int copy();
    int remove();
    int rename(const QString& name);
    bool reset();
    int import_profile(const QString& path);
    bool export_profile(const QString& path);

    QString selected_uuid() const;
    std::string selected_profile_file() const { return list_.selected_profile_file(); }
    const ProfileList& list() const { return list_; }
    ProfileList& list() { return list_; }

    QComboBox* combo();
    QLineEdit* name_edit();
    QWidget* menu();
    // Tab n (1..8) or nullptr.
    QAbstractButton* tab(int n);

private:
    // Rebuilds the items from the list and shows the list's selection, silently.
    void fill_combo();
    void hide_tabs_for_kind();
    // `name` in the bar, else in the ancestors up to the device page.
    QWidget* find_in_page(const char* name) const;

    ProfileList list_;
    QPointer<QComboBox> combo_;
    QPointer<QLineEdit> name_edit_;
    QPointer<QWidget> menu_;
    QPointer<QAbstractButton> tabs_[kTabCount];
};

// The profile bar of a device page (created, not initialised), or nullptr.
CDeviceProfileUI* find_profile_bar(QWidget* page);

}  // namespace tellune::ui

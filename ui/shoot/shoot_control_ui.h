#pragma once
// CShootControlUI: the recoil-pattern page of the mouse (layout
// XML/CustomControlXML/ShootControl.ui). Four guns of thirty bullets; one bullet is shown at a
// time, with its horizontal and vertical correction and its pause. Beside it the gun's whole
// pattern is drawn as the path the corrections pull the pointer along.
//
// It knows no device: its folders are the mouse's data folder and the shipped defaults, and
// the shoot editor (shoot_editor.h) routes the page's events here. Filling the controls from
// the program never sends a notification.

#include <QPointer>
#include <QString>
#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "core/shoot/shoot_data.h"

class QAbstractButton;
class QLabel;
class QLineEdit;
class QStackedWidget;

namespace tellune::ui {

// The pattern drawn as a path: one point per bullet, the selected one marked.
class CShootPathUI : public QWidget {
    Q_OBJECT
public:
    explicit CShootPathUI(QWidget* parent = nullptr);

    void set_path(std::vector<shoot::PathPoint> points, int marked);
    const std::vector<shoot::PathPoint>& points() const { return points_; }
    int marked() const { return marked_; }

    QSize sizeHint() const override { return {130, 230}; }
    QSize minimumSizeHint() const override { return {100, 150}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<shoot::PathPoint> points_;
    int marked_ = -1;
};

class CShootControlUI : public QWidget {
    Q_OBJECT
public:
    static constexpr char kClassName[] = "ShootControl";
    static constexpr char kFileFilter[] = "Shoot Files(*.shoot)";

    explicit CShootControlUI(QWidget* parent = nullptr);

    // Looks up the named controls and sets them up; once, after the layout is loaded.
    void find_controls();
    bool controls_found() const { return complete_; }
    // The mouse's data folder and the shipped defaults. Every gun whose file is missing, empty
    // or no pattern is reset from its default; then the selected bullet is shown.
    void set_folders(const std::string& folder, const std::string& default_folder);
    bool has_folders() const { return data_.has_value(); }

    int gun() const { return gun_; }
    // -1 until a bullet was first shown.
    int bullet() const { return bullet_; }

    // Selects gun `n` (clamped) and shows its selected bullet.
    void select_gun(int n);
    // Selects bullet `n` (clamped) and shows it.
    void select_bullet(int n);
    void select_previous() { select_bullet(bullet_ - 1); }
    void select_next() { select_bullet(bullet_ + 1); }
    // Shows the selected bullet of the selected gun as its file holds it.
    void load_bullet();
    // Writes the edits and the direction checks into the selected bullet's file.
    bool save_bullet();
    // Saves the shown bullet when it was changed since it was shown; false only when that
    // save failed.
    bool save_pending();
    // A direction check changed: its text follows.
    void direction_changed();

    bool reset_gun();
    shoot::ShootData::ImportResult import_file(const QString& path);
    bool export_file(const QString& path);

    // The file of the selected gun.
    std::string gun_file() const;
    // Texts again after a language change.
    void retranslate();
    CShootPathUI* path_view() const { return path_; }

private:
    template <class T>
    T* child(const QString& name) const;
    void show_gun_picture();
    void show_direction_texts();
    shoot::Bullet edited_bullet() const;
    // The path of the selected gun, with the edits standing in for the shown bullet.
    void update_path();
    void set_changed(bool changed);

    std::optional<shoot::ShootData> data_;
    shoot::Pattern pattern_{};  // the selected gun's file as last read or written
    int gun_ = 0;
    int bullet_ = -1;
    bool found_ = false;
    bool complete_ = false;
    bool changed_ = false;
    QPointer<QStackedWidget> pictures_;
    QPointer<QLabel> index_;
    QPointer<QAbstractButton> x_check_, y_check_;
    QPointer<QLineEdit> x_edit_, y_edit_, delay_edit_;
    QPointer<CShootPathUI> path_;
};

// The shoot page of a device page, or nullptr.
CShootControlUI* find_shoot_control(QWidget* page);

}  // namespace tellune::ui

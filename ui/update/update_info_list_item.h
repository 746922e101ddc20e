#pragma once
// One line of the update list: name with check box, current and new version, and the
// line's status shown as text, ring with percentage, or mark.

#include <QString>
#include <QWidget>

class QCheckBox;
class QLabel;

namespace tellune::ui {

class CCircleProgressUI;
class ControlFactory;

class CUpdateInfoListItemUI : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 50;

    // Builds the line from "XML/CustomControlXML/device_Update_list_item.ui".
    CUpdateInfoListItemUI(ControlFactory& factory, QWidget* parent = nullptr);

    // 0..8: text, ring, mark, check box and colours follow. The status it already has
    // changes nothing.
    void set_status(int status);
    int status() const { return status_; }
    // The text id each status shows.
    static QString status_text_id(int status);

    void set_progress(int percent);
    int progress() const { return progress_; }
    void set_name(const QString& name);
    QString name() const;
    void set_current_version(const QString& text);
    QString current_version() const;
    // Hidden when empty.
    void set_new_version(const QString& text);
    QString new_version() const;
    void set_download_path(const QString& path) { download_path_ = path; }
    QString download_path() const { return download_path_; }

    bool checked() const;
    void set_checked(bool on);
    bool check_enabled() const;
    void set_check_enabled(bool on);
    // Re-resolves the status text after a language change.
    void reload_texts();

    QCheckBox* check_box() const { return check_; }

signals:
    void check_changed(bool on);

private:
    void apply_status();

    int status_ = -1;
    int progress_ = -1;
    QString download_path_;
    QCheckBox* check_ = nullptr;
    QLabel* old_rev_ = nullptr;
    QLabel* new_rev_ = nullptr;
    QLabel* status_text_ = nullptr;
    QLabel* progress_text_ = nullptr;
    QLabel* mark_ = nullptr;
    CCircleProgressUI* ring_ = nullptr;
};

}  // namespace tellune::ui

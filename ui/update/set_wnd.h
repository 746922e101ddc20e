#pragma once
// The settings window: the interface language and the update list. A worker asks the
// update service about every entry (the program and each device kind); another downloads
// the chosen updates into the cache folder. Neither ever runs what it fetched.

#include <QDialog>
#include <QPointer>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "core/update/update_list.h"
#include "core/update/update_worker.h"
#include "ui/app/notification_pump.h"

class QComboBox;
class QStackedWidget;
class QVBoxLayout;

namespace tellune::ui {

class CUpdateInfoListItemUI;
class ControlFactory;

// Where the update service is; an empty base URL means none is configured.
struct UpdateServiceConfig {
    std::string base_url;
    std::string ca_file;  // empty: the system's certificate store
};

class CSetWnd : public QDialog, public NotificationSink {
    Q_OBJECT
public:
    static constexpr int kWidth = 630;
    static constexpr int kHeight = 500;
    // Shown instead of an overall status when no service is configured.
    static constexpr int kOverallNotConfigured = -1;
    // Download messages (first parameter).
    static constexpr int kDownloadLineDone = 1;  // the current line is up to date now
    static constexpr int kDownloadLineFailed = 2;
    static constexpr int kDownloadAllDone = 3;
    static constexpr int kDownloadProgress = 4;  // second parameter: percentage
    // Downloads larger than this are refused.
    static constexpr uint64_t kMaxDownloadBytes = 1ull << 30;

    struct Options {
        int language_index = 0;
        QString language_config;  // "Language.config"
        std::vector<update::UpdateEntry> entries;
        UpdateServiceConfig service;
        std::string update_time_path;  // "updatetime.config"
        std::string download_folder;   // with a trailing '/'
        // Message 3089 to the owner: apply the language with this index.
        std::function<void(int index)> select_language;
        // Overall status 4 reached (message 3094 to the owner).
        std::function<void()> up_to_date;
    };

    CSetWnd(QWidget* owner, ControlFactory& factory, Options options);
    ~CSetWnd() override;

    // Fills the language list, reads or writes the date of the last check and starts the
    // check worker (when a service is configured).
    void start();

    void notify(const Notification& n) override;

    // Message 3089 from the main window: texts follow the new language.
    void language_changed();
    // A download message (from the download worker, or handed over by another program).
    void download_message(int kind, qintptr value);
    // Stops both workers and waits for them; their pending results are dropped.
    void stop_workers();
    // Whether the window may close now: no line waits for, runs or installs a download.
    bool close_allowed() const;
    void set_scale(int dpi);

    int overall_status() const { return overall_; }
    QString last_check_date() const { return last_check_; }
    int selected_language() const { return selected_language_; }
    const std::vector<CUpdateInfoListItemUI*>& lines() const { return lines_; }
    bool checking() const { return check_.running(); }
    bool downloading() const { return download_.running(); }
    // What happens when every download ended: by default a question whether to open the
    // folder. Tests replace it.
    void set_downloads_finished_handler(std::function<void(const QString& folder)> handler) {
        downloads_finished_ = std::move(handler);
    }

protected:
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void on_click(const QString& name);
    void set_overall_status(int status);
    void add_lines();
    void start_check();
    void line_checked(size_t index, const update::UpdateLine& line);
    void check_finished();
    void check_changed();
    void start_downloads();
    void download_started(size_t index);
    void download_finished(size_t index, bool ok);
    CUpdateInfoListItemUI* current_download_line() const;
    void write_today();
    void update_title_buttons();

    Options options_;
    ControlFactory& factory_;
    NotificationPump pump_;
    std::vector<CUpdateInfoListItemUI*> lines_;
    std::vector<update::UpdateLine> results_;
    QString last_check_;
    int overall_ = update::kOverallChecking;
    int selected_language_ = 0;
    int current_download_ = -1;
    int dpi_ = 96;
    QVBoxLayout* list_layout_ = nullptr;
    std::function<void(const QString&)> downloads_finished_;
    update::UpdateWorker check_;
    update::UpdateWorker download_;
};

}  // namespace tellune::ui

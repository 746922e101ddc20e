#include "ui/update/set_wnd.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QScrollArea>
#include <QStackedWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "core/platform/platform.h"
#include "ui/app/control_factory.h"
#include "ui/app/language.h"
#include "ui/app/msg_wnd.h"
#include "ui/app/text_table.h"
#include "ui/app/title_bar.h"
#include "ui/app/window_scale.h"
#include "ui/controls/circle_progress.h"
#include "ui/controls/custom_controls.h"
#include "ui/update/update_info_list_item.h"

namespace tellune::ui {
namespace {

update::ClientSettings client_settings(const UpdateServiceConfig& service) {
    update::ClientSettings s;
    s.ca_file = service.ca_file;
    return s;
}

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

const char* overall_text_id(int status) {
    switch (status) {
        case update::kOverallChecking:
            return "GetUpdateInfoText";
        case update::kOverallHasUpdates:
            return "HaveUpdateInfoText";
        case update::kOverallNoInfo:
            return "NoUpdateInfoText";
        case update::kOverallUpdating:
            return "ISUpdateINGText";
        case update::kOverallLatest:
            return "UpdateIsLastText";
        default:
            return "UpdateNotConfiguredText";
    }
}

}  // namespace

CSetWnd::CSetWnd(QWidget* owner, ControlFactory& factory, Options options)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint),
      options_(std::move(options)),
      factory_(factory),
      pump_(this),
      check_(client_settings(options_.service)),
      download_(client_settings(options_.service)) {
    setObjectName("SetWnd");
    setAttribute(Qt::WA_DeleteOnClose);
    // The rings of the list are drawn controls; they exist even without device pages.
    ensure_custom_controls();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (QWidget* root = factory_.load_layout("XML/setwnd.ui", this)) layout->addWidget(root);
    if (QWidget* bar = findChild<QWidget*>("set_title_bar")) new TitleBarMover(bar, this, true);
    if (QWidget* list = findChild<QWidget*>("device_update_list_info")) {
        list_layout_ = qobject_cast<QVBoxLayout*>(list->layout());
        if (list_layout_) list_layout_->addStretch(1);
    }
    if (auto* image = findChild<QLabel*>("update_status_image"))
        image->setPixmap(QPixmap(factory_.skin_folder() + "images/update_info.svg"));
    downloads_finished_ = [this](const QString& folder) {
        if (ShowMessage(this, {}, "DownloadFolderText", dpi_, true, 1) == 1)
            QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    };
    pump_.attach(this);
    retranslate(this);
    update_title_buttons();
    if (QWidget* fw = findChild<QWidget*>("update_fw_and_ap")) {
        fw->hide();
        fw->setEnabled(false);
    }
    resize(kWidth, kHeight);
}

CSetWnd::~CSetWnd() {
    stop_workers();
}

void CSetWnd::start() {
    if (auto* combo = findChild<QComboBox*>("Language_combox_info")) {
        const QSignalBlocker block(combo);
        combo->clear();
        const auto entries = read_language_config(options_.language_config);
        for (const LanguageEntry& e : entries.value_or(std::vector<LanguageEntry>{})) {
            const QString id = e.text.isEmpty() ? e.name : e.text;
            combo->addItem(texts().text(id), id);
        }
        combo->setCurrentIndex(options_.language_index);
    }
    selected_language_ = options_.language_index;
    if (const auto date = update::read_last_check_date(options_.update_time_path)) {
        last_check_ = qs(*date);
    } else {
        write_today();
    }
    add_lines();
    if (options_.service.base_url.empty()) {
        set_overall_status(kOverallNotConfigured);
        return;
    }
    start_check();
}

void CSetWnd::write_today() {
    const std::string today = update::today_text();
    update::write_last_check_date(options_.update_time_path, today);
    last_check_ = qs(today);
}

void CSetWnd::add_lines() {
    results_.clear();
    for (CUpdateInfoListItemUI* line : lines_) delete line;
    lines_.clear();
    for (const update::UpdateEntry& entry : options_.entries) {
        const update::UpdateLine initial = update::initial_line(entry);
        auto* line = new CUpdateInfoListItemUI(factory_);
        line->set_name(qs(initial.name));
        line->set_current_version(qs(initial.current_text));
        line->set_status(initial.status);
        connect(line, &CUpdateInfoListItemUI::check_changed, this, [this] { check_changed(); });
        if (list_layout_) list_layout_->insertWidget(list_layout_->count() - 1, line);
        lines_.push_back(line);
        results_.push_back(initial);
    }
}

void CSetWnd::start_check() {
    set_overall_status(update::kOverallChecking);
    const std::string base = options_.service.base_url;
    const std::vector<update::UpdateEntry> entries = options_.entries;
    check_.start([this, base, entries](update::HttpClient& client, const std::atomic<bool>& stop) {
        update::run_update_check(
            client, base, entries, stop, [this](size_t index, const update::UpdateLine& line) {
                QMetaObject::invokeMethod(
                    this, [this, index, line] { line_checked(index, line); }, Qt::QueuedConnection);
            });
        if (!stop.load())
            QMetaObject::invokeMethod(
                this, [this] { check_finished(); }, Qt::QueuedConnection);
    });
}

void CSetWnd::line_checked(size_t index, const update::UpdateLine& line) {
    if (index >= lines_.size()) return;
    CUpdateInfoListItemUI* item = lines_[index];
    item->set_name(qs(line.name));
    item->set_current_version(qs(line.current_text));
    item->set_new_version(qs(line.new_text));
    item->set_status(line.status);
    item->set_download_path(qs(line.path));
    item->set_progress(0);
    results_[index] = line;
    write_today();
}

void CSetWnd::check_finished() {
    bool any = false;
    for (size_t i = 0; i < lines_.size(); ++i) {
        const int status = lines_[i]->status();
        if (status == update::kStatusNewest || status == update::kStatusNone) continue;
        lines_[i]->set_check_enabled(true);
        lines_[i]->set_checked(true);
        any = true;
    }
    if (QWidget* fw = findChild<QWidget*>("update_fw_and_ap")) {
        fw->setVisible(any);
        fw->setEnabled(any);
    }
    set_overall_status(update::overall_status(results_));
}

void CSetWnd::set_overall_status(int status) {
    overall_ = status;
    if (auto* ring = findChild<CCircleProgressUI*>("update_status_ring")) {
        ring->setVisible(status == update::kOverallChecking);
        ring->set_busy(status == update::kOverallChecking);
    }
    if (QWidget* image = findChild<QWidget*>("update_status_image"))
        image->setVisible(status != update::kOverallChecking);
    if (auto* text = findChild<QLabel*>("Update_Status_text")) {
        if (status == update::kOverallLatest) {
            set_text_id(text, {});
            text->setText(texts().text(overall_text_id(status)) + last_check_);
        } else {
            set_text_id(text, QString::fromLatin1(overall_text_id(status)));
        }
    }
    if (status == update::kOverallLatest && options_.up_to_date) options_.up_to_date();
}

void CSetWnd::language_changed() {
    retranslate(this);
    for (CUpdateInfoListItemUI* line : lines_) line->reload_texts();
    if (auto* combo = findChild<QComboBox*>("Language_combox_info")) {
        for (int i = 0; i < combo->count(); ++i)
            combo->setItemText(i, texts().text(combo->itemData(i).toString()));
    }
    if (overall_ == update::kOverallLatest) set_overall_status(overall_);
    update();
}

void CSetWnd::notify(const Notification& n) {
    if (n.type == QLatin1String("click")) {
        on_click(n.sender);
    } else if (n.type == QLatin1String("itemselect") &&
               n.sender == QLatin1String("Language_combox_info")) {
        auto* combo = qobject_cast<QComboBox*>(n.control.data());
        if (!combo || combo->currentIndex() < 0) return;
        selected_language_ = combo->currentIndex();
        if (options_.select_language) options_.select_language(selected_language_);
    }
}

void CSetWnd::on_click(const QString& name) {
    const auto is = [&name](const char* s) {
        return name.compare(QLatin1String(s), Qt::CaseInsensitive) == 0;
    };
    if (is("closebtn") || is("laterbtn")) {
        close();
    } else if (is("minbtn")) {
        showMinimized();
    } else if (is("maxbtn")) {
        showMaximized();
    } else if (is("restorebtn")) {
        showNormal();
    } else if (is("set_in_update_wnd_btn")) {
        if (QWidget* tip = findChild<QWidget*>("update_tishi_layout")) tip->hide();
        resize(scaled(kWidth, dpi_), scaled(kHeight, dpi_));
    } else if (is("update_fw_and_ap")) {
        if (auto* tab = findChild<QStackedWidget*>("get_update_tab_layout"))
            tab->setCurrentIndex(1);
    } else if (is("update_OK_btn")) {
        for (CUpdateInfoListItemUI* line : lines_) {
            const int s = line->status();
            if (s != 1 && s != 2 && s != 8) continue;
            if (line->checked())
                line->set_status(3);
            else
                line->set_progress(0);
        }
        if (QWidget* fw = findChild<QWidget*>("update_fw_and_ap")) fw->setEnabled(false);
        if (auto* tab = findChild<QStackedWidget*>("get_update_tab_layout"))
            tab->setCurrentIndex(0);
        start_downloads();
    }
}

void CSetWnd::check_changed() {
    bool any = false;
    for (const CUpdateInfoListItemUI* line : lines_) any = any || line->checked();
    if (QWidget* fw = findChild<QWidget*>("update_fw_and_ap")) {
        fw->setVisible(any);
        fw->setEnabled(any);
    }
}

void CSetWnd::start_downloads() {
    struct Job {
        size_t index;
        std::string url;
        std::string file;
    };
    std::vector<Job> jobs;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i]->status() != 3) continue;
        const std::string url = lines_[i]->download_path().toStdString();
        jobs.push_back({i, url,
                        options_.download_folder +
                            update::download_file_name(lines_[i]->name().toStdString(), url)});
    }
    if (jobs.empty()) return;
    set_overall_status(update::kOverallUpdating);
    download_.start([this, jobs](update::HttpClient& client, const std::atomic<bool>& stop) {
        const auto post = [this](auto fn) {
            QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
        };
        for (const Job& job : jobs) {
            if (stop.load()) return;
            post([this, i = job.index] { download_started(i); });
            const auto outcome = client.download(
                job.url, job.file,
                [&](int percent) {
                    post([this, percent] { download_message(kDownloadProgress, percent); });
                },
                kMaxDownloadBytes);
            if (outcome == update::HttpClient::DownloadResult::cancelled || stop.load()) return;
            const bool ok = outcome == update::HttpClient::DownloadResult::ok;
            post([this, i = job.index, ok] { download_finished(i, ok); });
        }
        post([this] { download_message(kDownloadAllDone, 0); });
    });
}

void CSetWnd::download_started(size_t index) {
    if (index >= lines_.size()) return;
    current_download_ = int(index);
    lines_[index]->set_progress(0);
    lines_[index]->set_status(4);
}

void CSetWnd::download_finished(size_t index, bool ok) {
    if (index >= lines_.size()) return;
    current_download_ = int(index);
    if (ok) {
        lines_[index]->set_progress(100);
        lines_[index]->set_status(5);
    } else {
        download_message(kDownloadLineFailed, 0);
    }
}

CUpdateInfoListItemUI* CSetWnd::current_download_line() const {
    if (current_download_ >= 0 && size_t(current_download_) < lines_.size())
        return lines_[size_t(current_download_)];
    // Handed over by another program: the first checked line that is on its way.
    for (CUpdateInfoListItemUI* line : lines_) {
        const int s = line->status();
        if (line->checked() && s >= 3 && s <= 6) return line;
    }
    return nullptr;
}

void CSetWnd::download_message(int kind, qintptr value) {
    CUpdateInfoListItemUI* line = current_download_line();
    switch (kind) {
        case kDownloadLineDone: {
            if (!line) return;
            line->set_current_version(line->new_version());
            line->set_new_version({});
            line->set_status(update::kStatusNewest);
            line->set_checked(false);
            current_download_ = -1;
            bool pending = false;
            bool all_newest = true;
            for (const CUpdateInfoListItemUI* l : lines_) {
                pending = pending || (l->checked() && l->status() != update::kStatusNewest);
                all_newest = all_newest && l->status() == update::kStatusNewest;
            }
            if (!pending) {
                for (CUpdateInfoListItemUI* l : lines_)
                    if (l->status() != update::kStatusNewest) l->set_check_enabled(true);
                set_overall_status(all_newest ? update::kOverallLatest
                                              : update::kOverallHasUpdates);
            }
            return;
        }
        case kDownloadLineFailed:
            if (!line) return;
            line->set_status(8);
            line->set_progress(0);
            return;
        case kDownloadAllDone: {
            current_download_ = -1;
            bool any_ok = false;
            for (CUpdateInfoListItemUI* l : lines_) {
                if (l->status() == 5) {
                    any_ok = true;
                    l->set_checked(false);
                }
            }
            check_changed();
            set_overall_status(update::kOverallHasUpdates);
            if (any_ok && downloads_finished_) downloads_finished_(qs(options_.download_folder));
            return;
        }
        case kDownloadProgress:
            if (line) line->set_progress(int(value));
            return;
        default:
            return;
    }
}

bool CSetWnd::close_allowed() const {
    for (const CUpdateInfoListItemUI* line : lines_) {
        const int s = line->status();
        if (s == 3 || s == 4 || s == 6) return false;
    }
    return true;
}

void CSetWnd::stop_workers() {
    check_.stop();
    download_.stop();
}

void CSetWnd::closeEvent(QCloseEvent* e) {
    if (!close_allowed()) {
        debug_line("settings window: a download is on its way, not closing");
        e->ignore();
        return;
    }
    stop_workers();
    e->accept();
}

void CSetWnd::changeEvent(QEvent* e) {
    if (e->type() == QEvent::WindowStateChange) update_title_buttons();
    QDialog::changeEvent(e);
}

void CSetWnd::update_title_buttons() {
    const bool maximised = isMaximized();
    if (QWidget* max = findChild<QWidget*>("maxbtn")) max->setVisible(!maximised);
    if (QWidget* restore = findChild<QWidget*>("restorebtn")) restore->setVisible(maximised);
}

void CSetWnd::set_scale(int dpi) {
    dpi_ = checked_scale(dpi, "SET_WND DPI SET ERROR");
    scale_fixed_sizes(this, dpi_);
    resize(scaled(kWidth, dpi_), scaled(kHeight, dpi_));
}

}  // namespace tellune::ui

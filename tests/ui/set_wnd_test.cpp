// The settings window against a local update service: the list's lines and overall status,
// the date of the last check, closing while downloads run, downloads, and the language list.

#include "ui/update/set_wnd.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QStackedWidget>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "core/update/update_list.h"
#include "test_support/temp_dir.h"
#include "test_support/update_server.h"
#include "test_support/wait.h"
#include "ui/app/control_factory.h"
#include "ui/app/text_table.h"
#include "ui/update/update_info_list_item.h"
#include "ui_test_support.h"

namespace tellune::ui::test {
namespace {

using tellune::test::UpdateServer;

update::UpdateEntry entry(const char* name, int version, bool hex, const char* model) {
    update::UpdateEntry e;
    e.hex_version = hex ? 1 : 0;
    e.product = 0x7643;
    e.current_version = version;
    e.vendor = "Tellune";
    e.model = model;
    e.display_name = model;
    e.name = name;
    e.spare = "V" + std::to_string(version);
    return e;
}

// The program (decimal), a connected mouse (hex 0x0103) and an absent keyboard.
std::vector<update::UpdateEntry> three_entries() {
    return {entry("Tellune", 10, false, "ALL"), entry("Mouse", 0x0103, true, "M7643"),
            entry("Keyboard", 0, true, "K0001")};
}

class SetWndTest : public ::testing::Test {
protected:
    void SetUp() override { texts().clear(); }
    void TearDown() override {
        delete wnd_.data();
        texts().clear();
    }
    CSetWnd* open(const std::string& base_url, std::vector<update::UpdateEntry> entries,
                  const std::string& ca_file = {}) {
        CSetWnd::Options o;
        o.language_index = 1;
        o.language_config = shipped_language_config();
        o.entries = std::move(entries);
        o.service = {base_url, ca_file};
        o.update_time_path = dir_.file("updatetime.config");
        o.download_folder = dir_.file("UpdateData") + "/";
        std::filesystem::create_directories(o.download_folder);
        o.select_language = [this](int index) { selected_.push_back(index); };
        o.up_to_date = [this] { ++up_to_date_; };
        wnd_ = new CSetWnd(nullptr, factory_, std::move(o));
        wnd_->set_downloads_finished_handler([this](const QString& f) { finished_folder_ = f; });
        wnd_->show();
        wnd_->start();
        return wnd_;
    }
    QString status_text_id() const {
        return wnd_->findChild<QLabel*>("Update_Status_text")->property("textid").toString();
    }
    QWidget* control(const char* name) const { return wnd_->findChild<QWidget*>(name); }

    TempDir dir_;
    ControlFactory factory_{shipped_skin()};
    QPointer<CSetWnd> wnd_;
    std::vector<int> selected_;
    int up_to_date_ = 0;
    QString finished_folder_;
};

TEST_F(SetWndTest, LayoutAndLanguageList) {
    open("", three_entries());
    EXPECT_EQ(wnd_->size(), QSize(630, 500));
    for (const char* name : {"closebtn", "maxbtn", "minbtn", "laterbtn", "set_in_update_wnd_btn",
                             "update_tishi_layout", "update_fw_and_ap", "get_update_tab_layout",
                             "update_OK_btn", "device_update_list_info", "Language_combox_info",
                             "update_status_ring", "Update_Status_text", "update_status_image"})
        EXPECT_NE(control(name), nullptr) << name;
    auto* combo = wnd_->findChild<QComboBox*>("Language_combox_info");
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->currentIndex(), 1);  // the current language
    EXPECT_EQ(combo->itemData(0).toString(), "Language_en");
    // Choosing a language hands its index to the owner (message 3089).
    combo->setCurrentIndex(0);
    ASSERT_EQ(selected_, std::vector<int>{0});
    EXPECT_EQ(wnd_->selected_language(), 0);
    // The hint goes away for good.
    wnd_->findChild<QAbstractButton*>("set_in_update_wnd_btn")->click();
    EXPECT_TRUE(control("update_tishi_layout")->isHidden());
}

TEST_F(SetWndTest, WithoutAServiceNothingIsAskedAndTheWindowSaysSo) {
    open("", three_entries());
    EXPECT_EQ(wnd_->overall_status(), CSetWnd::kOverallNotConfigured);
    EXPECT_EQ(status_text_id(), "UpdateNotConfiguredText");
    EXPECT_FALSE(wnd_->checking());
    ASSERT_EQ(wnd_->lines().size(), 3u);
    EXPECT_EQ(wnd_->lines()[0]->name(), "AP");
    EXPECT_EQ(wnd_->lines()[0]->current_version(), "V10");
    EXPECT_EQ(wnd_->lines()[1]->current_version(), "V0103");
    for (auto* line : wnd_->lines()) EXPECT_EQ(line->status(), 7);
}

TEST_F(SetWndTest, FirstOpeningWritesTodayLaterOnesShowTheStoredDate) {
    const std::string path = dir_.file("updatetime.config");
    open("", three_entries());
    EXPECT_EQ(update::read_last_check_date(path).value_or(""), update::today_text());
    delete wnd_.data();

    ASSERT_TRUE(update::write_last_check_date(path, "2024-2-29"));
    UpdateServer server(false);
    ASSERT_TRUE(server.ok());
    Json::Value routes;
    routes["/api/updates"]["body"] = R"({"name":"X","version":"1"})";  // nothing newer
    server.set_routes_json(routes);
    open("", three_entries());
    EXPECT_EQ(wnd_->last_check_date(), "2024-2-29");  // read, not overwritten by opening
    delete wnd_.data();

    open(server.base_url(), {entry("Mouse", 0x0103, true, "M7643")});
    ASSERT_EQ_SOON(wnd_->overall_status(), update::kOverallLatest, 5000);
    // The check wrote today's date, which follows the text.
    EXPECT_EQ(update::read_last_check_date(path).value_or(""), update::today_text());
    const QString text = wnd_->findChild<QLabel*>("Update_Status_text")->text();
    EXPECT_TRUE(text.startsWith("UpdateIsLastText")) << text.toStdString();
    EXPECT_TRUE(text.endsWith(QString::fromStdString(update::today_text()))) << text.toStdString();
    EXPECT_EQ(up_to_date_, 1);  // message 3094 to the owner
}

TEST_F(SetWndTest, UnreachableServiceForEveryEntryGivesStatusTwo) {
    int port = 0;
    {
        UpdateServer gone(false);
        ASSERT_TRUE(gone.ok());
        port = gone.port();
    }
    open("http://127.0.0.1:" + std::to_string(port) + "/api/", three_entries());
    EXPECT_EQ(status_text_id(), "GetUpdateInfoText");
    ASSERT_EQ_SOON(wnd_->overall_status(), update::kOverallNoInfo, 5000);
    EXPECT_EQ(status_text_id(), "NoUpdateInfoText");
    for (auto* line : wnd_->lines()) {
        EXPECT_EQ(line->status(), 7);
        EXPECT_FALSE(line->checked());
    }
    EXPECT_EQ(wnd_->lines()[2]->name(), "Keyboard");  // from the entry, not "NO_LINK_SERVER"
    EXPECT_FALSE(control("update_fw_and_ap")->isVisibleTo(wnd_));
}

TEST_F(SetWndTest, NewerEntryIsCheckedAndOffered) {
    UpdateServer server(true);
    ASSERT_TRUE(server.ok());
    Json::Value routes;
    auto& by_key = routes["/api/updates"]["by_key"];
    by_key["Tellune_30275_M7643_M7643_259"]["body"] =
        R"({"name":"Mouse","version":"0104","version_name":"1.4","path":")" +
        server.url("/f/mouse_0104.bin") + R"("})";
    routes["/api/updates"]["default"]["body"] = R"({})";
    routes["/f/mouse_0104.bin"]["size"] = 5000;
    server.set_routes_json(routes);
    open(server.base_url(), three_entries(), server.ca_file());
    ASSERT_EQ_SOON(wnd_->overall_status(), update::kOverallHasUpdates, 5000);
    const auto& lines = wnd_->lines();
    EXPECT_EQ(lines[1]->status(), 1);
    EXPECT_TRUE(lines[1]->checked());
    EXPECT_TRUE(lines[1]->check_enabled());
    EXPECT_EQ(lines[1]->new_version(), "V0104");
    EXPECT_EQ(lines[1]->check_box()->property("styleSheet").toString(), "color: #0099ff;");
    EXPECT_EQ(lines[0]->status(), 7);
    EXPECT_FALSE(lines[0]->checked());
    EXPECT_EQ(lines[2]->status(), 7);
    EXPECT_TRUE(control("update_fw_and_ap")->isVisibleTo(wnd_));
    EXPECT_TRUE(control("update_fw_and_ap")->isEnabled());
    // The absent keyboard asked with the "NULL" key.
    bool null_key = false;
    for (const Json::Value& r : server.requests())
        null_key =
            null_key || UpdateServer::body_of(r) == std::string("app_key=NULL&version=0") + '\0';
    EXPECT_TRUE(null_key);

    // Unchecking the only line withdraws the offer.
    lines[1]->set_checked(false);
    EXPECT_FALSE(control("update_fw_and_ap")->isVisibleTo(wnd_));
    lines[1]->set_checked(true);

    // Confirm: the line waits, then downloads into the folder; closing is refused meanwhile.
    wnd_->findChild<QAbstractButton*>("update_fw_and_ap")->click();
    EXPECT_EQ(wnd_->findChild<QStackedWidget*>("get_update_tab_layout")->currentIndex(), 1);
    wnd_->findChild<QAbstractButton*>("update_OK_btn")->click();
    EXPECT_EQ(wnd_->findChild<QStackedWidget*>("get_update_tab_layout")->currentIndex(), 0);
    EXPECT_EQ(lines[1]->status(), 3);
    EXPECT_FALSE(control("update_fw_and_ap")->isEnabled());
    EXPECT_FALSE(wnd_->close());
    EXPECT_TRUE(wnd_->isVisible());
    ASSERT_SOON(!finished_folder_.isEmpty(), 5000);
    EXPECT_EQ(lines[1]->status(), 5);
    EXPECT_EQ(lines[1]->progress(), 100);
    const std::filesystem::path file = dir_.file("UpdateData") + "/Mouse.bin";
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(std::filesystem::file_size(file), 5000u);
    EXPECT_TRUE(wnd_->close_allowed());
}

TEST_F(SetWndTest, CloseIsRefusedWhileALineWaitsForItsDownload) {
    open("", three_entries());
    wnd_->lines()[1]->set_status(3);
    EXPECT_FALSE(wnd_->close_allowed());
    wnd_->findChild<QAbstractButton*>("closebtn")->click();
    QCoreApplication::processEvents();
    ASSERT_FALSE(wnd_.isNull());
    EXPECT_TRUE(wnd_->isVisible());
    for (int s : {1, 2, 5, 7, 8}) {
        wnd_->lines()[1]->set_status(s);
        EXPECT_TRUE(wnd_->close_allowed()) << s;
    }
    wnd_->lines()[1]->set_status(4);
    EXPECT_FALSE(wnd_->close_allowed());
    wnd_->lines()[1]->set_status(7);
    wnd_->findChild<QAbstractButton*>("laterbtn")->click();
    ASSERT_SOON(wnd_.isNull(), 2000);  // closed and deleted
}

TEST_F(SetWndTest, ClosingCancelsACheckTheServiceNeverAnswers) {
    UpdateServer server(false);
    ASSERT_TRUE(server.ok());
    server.set_routes(R"({"/api/updates":{"hang":true}})");
    open(server.base_url(), three_entries());
    ASSERT_SOON(server.requests().size() == 1, 5000);
    EXPECT_TRUE(wnd_->checking());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(wnd_->close());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    ASSERT_SOON(wnd_.isNull(), 2000);
    EXPECT_EQ(server.requests().size(), 1u);  // nothing asked after the window went
}

TEST_F(SetWndTest, DownloadMessagesFromAnotherProgram) {
    open("", three_entries());
    auto* line = wnd_->lines()[1];
    line->set_new_version("V0104");
    line->set_status(1);
    line->set_check_enabled(true);
    line->set_checked(true);
    line->set_status(6);  // its installer runs
    wnd_->download_message(CSetWnd::kDownloadProgress, 42);
    EXPECT_EQ(line->progress(), 42);
    EXPECT_EQ(wnd_->lines()[1]->findChild<QLabel*>("update_progress_value")->text(), "42%");
    EXPECT_FALSE(wnd_->close_allowed());
    wnd_->download_message(CSetWnd::kDownloadLineDone, 0);
    EXPECT_EQ(line->status(), 7);
    EXPECT_EQ(line->current_version(), "V0104");
    EXPECT_EQ(line->new_version(), "");
    EXPECT_FALSE(line->checked());
    EXPECT_EQ(wnd_->overall_status(), update::kOverallLatest);  // every line is 7 now
    EXPECT_TRUE(wnd_->close_allowed());
    // Unknown kinds and a message with no line on its way change nothing.
    wnd_->download_message(99, 1);
    wnd_->download_message(CSetWnd::kDownloadLineDone, 0);
    EXPECT_EQ(wnd_->overall_status(), update::kOverallLatest);
}

TEST(UpdateInfoListItem, StatusTable) {
    ControlFactory factory(shipped_skin());
    CUpdateInfoListItemUI line(factory);
    EXPECT_EQ(line.height(), 50);
    struct Row {
        int status;
        const char* text;
        bool ring, mark, check;
        const char* colour;
    };
    const Row rows[] = {
        {0, "LessUpdateText", false, false, false, "#ffffff"},
        {1, "NeedUpdateText", false, false, true, "#0099ff"},
        {2, "NeedUpdateText", false, false, true, "#0099ff"},
        {3, "DownloadWaitText", false, false, false, "#0099ff"},
        {4, "DownloadIngText", true, false, false, "#0099ff"},
        {5, "DownloadOkText", false, true, false, "#0099ff"},
        {6, "UpdateIngText", true, false, false, "#0099ff"},
        {7, "UpdateOkText", false, false, false, "#ffffff"},
        {8, "UpdateFailText", false, false, true, "#0099ff"},
    };
    for (const Row& r : rows) {
        line.set_status(r.status);
        EXPECT_EQ(line.findChild<QLabel*>("update_status_text")->property("textid").toString(),
                  r.text)
            << r.status;
        EXPECT_EQ(line.findChild<QWidget*>("update_status_ing")->isVisibleTo(&line), r.ring)
            << r.status;
        EXPECT_EQ(line.findChild<QWidget*>("update_progress_value")->isVisibleTo(&line), r.ring)
            << r.status;
        EXPECT_EQ(line.findChild<QWidget*>("update_status_ok")->isVisibleTo(&line), r.mark)
            << r.status;
        EXPECT_EQ(line.check_enabled(), r.check) << r.status;
        EXPECT_EQ(line.check_box()->styleSheet(), QString("color: %1;").arg(r.colour)) << r.status;
    }
    // Setting the status it has changes nothing, not even a check box enabled by hand.
    line.set_status(7);
    line.set_check_enabled(true);
    line.set_status(7);
    EXPECT_TRUE(line.check_enabled());
    line.set_new_version("");
    EXPECT_FALSE(line.findChild<QWidget*>("updateRev")->isVisibleTo(&line));
    line.set_new_version("V2");
    EXPECT_TRUE(line.findChild<QWidget*>("updateRev")->isVisibleTo(&line));
}

}  // namespace
}  // namespace tellune::ui::test

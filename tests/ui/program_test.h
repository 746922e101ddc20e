#pragma once
// A fixture with the whole program's window over emulated devices, as the program puts it
// together, in a scratch data folder with the shipped skin and default data.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <memory>
#include <string>
#include <vector>

#include "emulator/emulated_backend.h"
#include "test_support/temp_dir.h"
#include "ui/app/app_options.h"
#include "ui/app/device_pages.h"
#include "ui/app/language.h"
#include "ui/app/main_wnd.h"
#include "ui/app/program.h"
#include "ui/app/text_table.h"
#include "ui/profile/profile_bar.h"
#include "ui_test_support.h"

namespace tellune::ui::test {

class ProgramTest : public ::testing::Test {
protected:
    ProgramTest() {
        // Keyboards and mice of the machine running the tests must not reach them.
        app_options().global_input = false;
        texts().clear();
        language_ =
            std::make_unique<LanguageManager>(shipped_language_config(), shipped_skin(),
                                              QString::fromStdString(dir_.file("tellune.conf")));
    }
    void TearDown() override {
        // The theme stays with the application; later tests in this process start without it.
        if (themed_) qApp->setStyleSheet(QString());
        wnd_.reset();
        pages_ = nullptr;
        unregister_profile_controls();
        texts().clear();
    }
    // Builds and starts a new window; the devices plugged so far are found by its first scan.
    // `backend`: another than the emulated one (hidraw over a fake sysfs tree).
    void open_window(std::shared_ptr<hid::HidBackend> backend = nullptr) {
        wnd_ = std::make_unique<CMainWnd>(*language_);
        pages_ = install_program_extensions(*wnd_, backend ? std::move(backend) : backend_);
        wnd_->set_quit_handler([] {});
        ASSERT_TRUE(wnd_->load());
        wnd_->init();
    }
    void close_window() {
        wnd_.reset();
        pages_ = nullptr;
    }
    // The page shown now, as its device's page class; null before the window or while
    // another kind's page shows.
    template <class Page>
    Page* shown_page() const {
        return pages_ ? qobject_cast<Page*>(wnd_->current_page()) : nullptr;
    }
    // A control of the page shown, by its name; a missing one fails the test.
    template <class T = QWidget>
    T* find(const QString& name) {
        QWidget* page = wnd_ ? wnd_->current_page() : nullptr;
        T* w = page ? page->findChild<T*>(name) : nullptr;
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    void click(const QString& name) {
        if (auto* button = find<QAbstractButton>(name)) button->click();
    }
    // With TELLUNE_SCREENSHOT_DIR set, the folder the test saves its pictures in, and the
    // shipped dark skin on for them; empty otherwise.
    QString screenshot_folder() {
        const QString shots = qEnvironmentVariable("TELLUNE_SCREENSHOT_DIR");
        QFile style(shipped_skin() + "style/dark.qss");
        if (!shots.isEmpty() && style.open(QIODevice::ReadOnly)) {
            const QString css = QString::fromUtf8(style.readAll());
            language_->fonts().set_base_style_sheet(css);
            qApp->setStyleSheet(css);
            themed_ = true;
        }
        return shots;
    }
    // Each named control of the page shown is visible, whole inside the window and not
    // squeezed below what it needs (within the size its layout gives it).
    void expect_whole_on_screen(const std::vector<QString>& names, const QString& where) {
        for (const QString& name : names) {
            QWidget* w = find(name);
            if (!w) continue;
            const std::string at = where.toStdString() + " " + name.toStdString();
            EXPECT_TRUE(w->isVisible()) << at;
            const QRect r(w->mapTo(wnd_.get(), QPoint(0, 0)), w->size());
            EXPECT_TRUE(wnd_->rect().contains(r)) << at;
            const QSize needed =
                w->minimumSizeHint().expandedTo(w->minimumSize()).boundedTo(w->maximumSize());
            EXPECT_GE(w->width(), needed.width()) << at;
        }
    }

    TempDir dir_;
    ScopedEnv data_{"XDG_DATA_HOME", dir_.file("home")};
    ScopedEnv program_{"TELLUNE_DATA_DIR", source_folder().toStdString()};
    std::unique_ptr<LanguageManager> language_;
    std::shared_ptr<emulator::EmulatedBackend> backend_ =
        std::make_shared<emulator::EmulatedBackend>();
    std::unique_ptr<CMainWnd> wnd_;
    DevicePages* pages_ = nullptr;
    bool themed_ = false;
};

}  // namespace tellune::ui::test

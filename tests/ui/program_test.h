#pragma once
// A fixture with the whole program's window over emulated devices, as the program puts it
// together, in a scratch data folder with the shipped skin and default data.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <memory>

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

    TempDir dir_;
    ScopedEnv data_{"XDG_DATA_HOME", dir_.file("home")};
    ScopedEnv program_{"TELLUNE_DATA_DIR", source_folder().toStdString()};
    std::unique_ptr<LanguageManager> language_;
    std::shared_ptr<emulator::EmulatedBackend> backend_ =
        std::make_shared<emulator::EmulatedBackend>();
    std::unique_ptr<CMainWnd> wnd_;
    DevicePages* pages_ = nullptr;
};

}  // namespace tellune::ui::test

// The whole window over the four emulated devices, on screens from 1280 x 720 to 3840 x 2160 at
// pixel ratios 1 and 2: the window lies on its screen, every control of every page can be
// brought into view inside it, and neither pages nor the profile menu change its size.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLayout>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTest>
#include <string>
#include <vector>

#include "core/profile/profile_data.h"
#include "emulator/products.h"
#include "screen_environment.h"
#include "test_support/wait.h"
#include "ui/app/app_options.h"
#include "ui/app/device_option.h"
#include "ui/app/window_scale.h"
#include "ui/device/tarvex_usb_device.h"
#include "ui/profile/device_profile_ui.h"
#include "ui/program_test.h"

namespace tellune::ui {
namespace {

using test::ScreenSpec;

std::string describe(const QRect& r) {
    return QStringLiteral("%1,%2 %3x%4")
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height())
        .toStdString();
}

QRect global_rect(const QWidget* w) {
    return {w->mapToGlobal(QPoint(0, 0)), w->size()};
}

bool is_control(const QWidget* w) {
    const QString name = w->objectName();
    if (name.isEmpty() || name.startsWith(QLatin1String("qt_"))) return false;
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QAbstractSlider*>(w) ||
           qobject_cast<const QComboBox*>(w) || qobject_cast<const QLineEdit*>(w) ||
           qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QAbstractItemView*>(w);
}

// Inside a list's rows: the list scrolls to them itself.
bool in_item_view(const QWidget* w) {
    for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget())
        if (qobject_cast<const QAbstractItemView*>(p)) return true;
    return false;
}

void settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::processEvents();
    }
}

class WindowGeometry : public test::ProgramTest, public ::testing::WithParamInterface<ScreenSpec> {
protected:
    void SetUp() override {
        QFile style(test::shipped_skin() + "style/dark.qss");
        ASSERT_TRUE(style.open(QIODevice::ReadOnly));
        language_->fonts().set_base_style_sheet(QString::fromUtf8(style.readAll()));
        screen_ = test::screen_for(GetParam());
        ASSERT_NE(screen_, nullptr) << GetParam().name().toStdString();
        ASSERT_EQ(screen_->availableGeometry().size(), QSize(GetParam().width, GetParam().height));
        ASSERT_EQ(screen_->devicePixelRatio(), GetParam().ratio);

        // The headset's voice pages as with --emulate: over the emulated audio chip.
        app_options().audio_library = TELLUNE_EMULATED_OSCONF;
        backend_->plug(emulator::make_mouse());
        backend_->plug(emulator::make_keyboard());
        backend_->plug(emulator::make_mouse_pad());
        backend_->plug(emulator::make_headset());
        open_window();
        ASSERT_SOON(wnd_->present_device_count() == 4 && wnd_->isVisible(), 10000);
        // Each page loads its profile 500 ms after its device arrived.
        for (CTarvexUSBDevice* page : pages_->Pages())
            ASSERT_SOON(!page->ProfileData()->profile_path().empty(), 5000);
        // From the tray onto the screen under test.
        wnd_->setScreen(screen_);
        wnd_->hide();
        wnd_->tray_left_click();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(wnd_.get()));
        settle();
        area_ = screen_->availableGeometry();
    }

    void TearDown() override {
        test::ProgramTest::TearDown();
        app_options().audio_library.clear();
    }

    CDeviceOptionUI* entry_of(CTarvexUSBDevice* page) const { return pages_->EntryOf(page); }

    void select(CTarvexUSBDevice* page) {
        auto* button = entry_of(page)->findChild<QAbstractButton*>(QStringLiteral("device_select"));
        ASSERT_NE(button, nullptr);
        button->click();
        settle();
        ASSERT_EQ(wnd_->current_page(), page);
    }

    // Shows the panels that hold `w` and scrolls every scroll area around it to it.
    static void reveal(QWidget* w, const QWidget* page) {
        for (QWidget *child = w, *parent = w->parentWidget(); parent && child != page;
             child = parent, parent = parent->parentWidget())
            if (auto* stack = qobject_cast<QStackedWidget*>(parent))
                if (stack->currentWidget() != child) {
                    stack->setCurrentWidget(child);
                    settle();
                }
        // The whole control (ensureWidgetVisible settles for an edit's cursor).
        for (QWidget* p = w->parentWidget(); p; p = p->parentWidget())
            if (auto* scroll = qobject_cast<QScrollArea*>(p); scroll && scroll->widget()) {
                const QRect r(w->mapTo(scroll->widget(), QPoint(0, 0)), w->size());
                scroll->ensureVisible(r.center().x(), r.center().y(), r.width() / 2 + 2,
                                      r.height() / 2 + 2);
            }
    }

    // `w` lies wholly inside the window and inside every scroll area's visible part.
    void expect_inside(const QWidget* w, const QRect& window) const {
        const QRect r = global_rect(w);
        const std::string what = w->objectName().toStdString() + " at " + describe(r);
        EXPECT_TRUE(window.contains(r)) << what << " outside the window " << describe(window);
        // A control its layout places is not squeezed below what it needs to show itself (a
        // cut-off text, say). The device pictures place their keys themselves.
        const QLayout* layout = w->parentWidget() ? w->parentWidget()->layout() : nullptr;
        if (layout && layout->indexOf(w) >= 0) {
            const QSize needed =
                w->minimumSizeHint().expandedTo(w->minimumSize()).boundedTo(w->maximumSize());
            EXPECT_GE(w->width(), needed.width()) << what << " narrower than " << needed.width();
            EXPECT_GE(w->height(), needed.height()) << what << " lower than " << needed.height();
        }
        for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget())
            if (auto* scroll = qobject_cast<const QAbstractScrollArea*>(p)) {
                const QRect seen = global_rect(scroll->viewport());
                EXPECT_TRUE(seen.contains(r))
                    << what << " outside the visible part " << describe(seen) << " of "
                    << scroll->objectName().toStdString();
            }
    }

    // Every control of the shell that shows, and every control of the current page that the
    // page can show, once brought into view, lies inside the window. Returns how many.
    int check_controls() {
        QWidget* page = wnd_->current_page();
        const QRect window = global_rect(wnd_.get());
        int checked = 0;
        for (QWidget* w : wnd_->findChildren<QWidget*>()) {
            if (!is_control(w) || in_item_view(w) || w->window() != wnd_.get()) continue;
            const bool on_page = page && page->isAncestorOf(w);
            bool on_other_page = false;
            for (CTarvexUSBDevice* p : pages_->Pages())
                on_other_page = on_other_page || (p != page && p->isAncestorOf(w));
            if (on_other_page) continue;
            if (on_page) reveal(w, page);
            // Hidden by the page's own rules (tabs of other kinds, rows of other modes).
            if (!w->isVisible()) continue;
            expect_inside(w, window);
            ++checked;
        }
        return checked;
    }

    ScopedEnv chip_state_{"TELLUNE_OSCONF_STATE", dir_.file("chip.state")};
    QScreen* screen_ = nullptr;
    QRect area_;
};

TEST_P(WindowGeometry, WindowFitsItsScreenAndEveryControlCanBeReached) {
    const ScreenSpec spec = GetParam();
    // Above 1500 x 960 the interface is laid out at 144 dots per inch, below at 96.
    const bool large = spec.width > 1500 && spec.height > 960;
    EXPECT_EQ(wnd_->screen_scale(), large ? 144 : 96);
    EXPECT_EQ(wnd_->size(), large ? QSize(1500, 960) : QSize(1000, 640));
    EXPECT_TRUE(area_.contains(wnd_->frameGeometry())) << describe(wnd_->frameGeometry());
    EXPECT_EQ(wnd_->screen(), screen_);
    // The smallest window is still one the screen can hold.
    EXPECT_LE(wnd_->minimumWidth(), area_.width());
    EXPECT_LE(wnd_->minimumHeight(), area_.height());

    const QRect frame = wnd_->geometry();
    int pages = 0;
    for (CTarvexUSBDevice* page : pages_->Pages()) {
        SCOPED_TRACE(page->objectName().toStdString());
        select(page);
        EXPECT_GT(check_controls(), 20);
        EXPECT_EQ(wnd_->geometry(), frame) << "the page changed the window";
        // Taller pages scroll down; none is wider than the window, cut off at the side.
        auto* scroll = wnd_->control<QScrollArea>(QStringLiteral("device_scroll"));
        ASSERT_NE(scroll, nullptr);
        EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible())
            << "page " << page->width() << " wide, room for " << scroll->viewport()->width();

        // The profile menu opens over the page, on the screen, without moving anything.
        CDeviceProfileUI* bar = find_profile_bar(page);
        ASSERT_NE(bar, nullptr);
        auto* more = bar->findChild<QAbstractButton*>(QStringLiteral("profile_fun_spread_btn"));
        ASSERT_NE(more, nullptr);
        more->click();
        settle();
        ASSERT_TRUE(bar->menu_shown());
        EXPECT_TRUE(area_.contains(bar->menu()->frameGeometry()))
            << describe(bar->menu()->frameGeometry());
        const QRect menu = global_rect(bar->menu());
        int buttons = 0;
        for (QAbstractButton* b : bar->menu()->findChildren<QAbstractButton*>()) {
            EXPECT_TRUE(menu.contains(global_rect(b))) << b->objectName().toStdString();
            ++buttons;
        }
        EXPECT_EQ(buttons, 6);
        EXPECT_EQ(wnd_->geometry(), frame) << "the profile menu changed the window";
        bar->show_menu(false);
        ++pages;
    }
    EXPECT_EQ(pages, 4);

    // The longer label of the light-control switch shows whole too.
    auto* light = wnd_->control<QAbstractButton>(QStringLiteral("control_light_status"));
    ASSERT_NE(light, nullptr);
    const QString on_text = light->text();
    light->click();
    settle();
    ASSERT_NE(light->text(), on_text);
    expect_inside(light, global_rect(wnd_.get()));
    EXPECT_EQ(wnd_->geometry(), frame);
    light->click();

    // Maximised it takes the screen's free area, and no more.
    wnd_->showMaximized();
    ASSERT_SOON(wnd_->isMaximized(), 2000);
    settle();
    EXPECT_TRUE(area_.contains(wnd_->frameGeometry())) << describe(wnd_->frameGeometry());
    wnd_->showNormal();
}

TEST_P(WindowGeometry, ShownOrRestoredTheWindowComesBackOnItsScreen) {
    const QSize size = wnd_->size();
    // Dragged half off the top and the left, then into the tray and back.
    wnd_->move(area_.topLeft() - QPoint(200, 51));
    wnd_->hide();
    wnd_->tray_left_click();
    settle();
    EXPECT_TRUE(area_.contains(wnd_->frameGeometry())) << describe(wnd_->frameGeometry());
    EXPECT_EQ(wnd_->size(), size);

    // A second start asks the running window to show itself.
    wnd_->move(area_.bottomRight() - QPoint(100, 100));
    wnd_->show_yourself(0, 1);
    settle();
    EXPECT_TRUE(area_.contains(wnd_->frameGeometry())) << describe(wnd_->frameGeometry());
    EXPECT_EQ(wnd_->size(), size);
}

INSTANTIATE_TEST_SUITE_P(Screens, WindowGeometry, ::testing::ValuesIn(test::screen_specs()),
                         [](const ::testing::TestParamInfo<ScreenSpec>& param) {
                             return QStringLiteral("%1x%2_ratio%3")
                                 .arg(param.param.width)
                                 .arg(param.param.height)
                                 .arg(param.param.ratio)
                                 .toStdString();
                         });

}  // namespace
}  // namespace tellune::ui

// The device area: pages in a scroll area, sized by the page shown, and a wheel that scrolls
// the page rather than change the setting that passes under the pointer.

#include "ui/app/page_area.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QStackedWidget>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace tellune::ui {
namespace {

// A page of `height` pixels with a slider and a list box at its top.
QWidget* make_page(int height, const QString& name) {
    auto* page = new QWidget;
    page->setObjectName(name);
    auto* layout = new QVBoxLayout(page);
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setObjectName(name + "_slider");
    slider->setRange(0, 10);
    slider->setValue(5);
    layout->addWidget(slider);
    auto* combo = new QComboBox;
    combo->setObjectName(name + "_combo");
    combo->addItems({"a", "b", "c"});
    layout->addWidget(combo);
    auto* filler = new QWidget;
    filler->setMinimumHeight(height);
    layout->addWidget(filler);
    return page;
}

// One notch of the wheel, away from the user (content moves down: values go up).
void wheel(QWidget* w, int notches = -1) {
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    QWheelEvent event(at, w->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &event);
}

class PageAreaTest : public ::testing::Test {
protected:
    void SetUp() override {
        scroll_.setWidgetResizable(true);
        scroll_.setWidget(stack_);
        short_ = make_page(50, "short");
        tall_ = make_page(2000, "tall");
        stack_->addWidget(short_);
        stack_->addWidget(tall_);
        new PageArea(stack_, &scroll_);
        scroll_.resize(400, 300);
        scroll_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&scroll_));
        settle();
    }
    static void settle() {
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    }
    QSlider* slider(QWidget* page) {
        return page->findChild<QSlider*>(page->objectName() + "_slider");
    }
    QComboBox* combo(QWidget* page) {
        return page->findChild<QComboBox*>(page->objectName() + "_combo");
    }

    QScrollArea scroll_;
    QStackedWidget* stack_ = new QStackedWidget;
    QWidget* short_ = nullptr;
    QWidget* tall_ = nullptr;
};

TEST_F(PageAreaTest, TheStackAsksForThePageShownOnly) {
    ASSERT_EQ(stack_->currentWidget(), short_);
    EXPECT_LT(stack_->minimumSizeHint().height(), 300);
    EXPECT_EQ(scroll_.verticalScrollBar()->maximum(), 0);

    stack_->setCurrentWidget(tall_);
    settle();
    EXPECT_GE(stack_->minimumSizeHint().height(), 2000);
    EXPECT_GT(scroll_.verticalScrollBar()->maximum(), 1700);
    scroll_.verticalScrollBar()->setValue(500);

    // Back to the short page: no scrolling, and it starts at its top.
    stack_->setCurrentWidget(short_);
    settle();
    EXPECT_EQ(scroll_.verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(scroll_.verticalScrollBar()->value(), 0);

    // A page added later, not shown, takes no room either.
    stack_->addWidget(make_page(5000, "later"));
    settle();
    EXPECT_LT(stack_->minimumSizeHint().height(), 300);
    EXPECT_EQ(scroll_.verticalScrollBar()->maximum(), 0);
}

TEST_F(PageAreaTest, TheWheelScrollsATallPageInsteadOfChangingASetting) {
    stack_->setCurrentWidget(tall_);
    settle();
    QScrollBar* bar = scroll_.verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);

    wheel(slider(tall_), -2);
    wheel(combo(tall_), -1);
    EXPECT_EQ(slider(tall_)->value(), 5);
    EXPECT_EQ(combo(tall_)->currentIndex(), 0);
    EXPECT_GT(bar->value(), 0);

    // Nor when the focus only moved there with the page change.
    scroll_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&scroll_));
    slider(tall_)->setFocus(Qt::OtherFocusReason);
    ASSERT_TRUE(slider(tall_)->hasFocus());
    wheel(slider(tall_), -1);
    EXPECT_EQ(slider(tall_)->value(), 5);

    // A control the user chose (clicked or tabbed to) takes the wheel.
    const int scrolled = bar->value();
    slider(tall_)->clearFocus();
    slider(tall_)->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(slider(tall_)->hasFocus());
    wheel(slider(tall_), 1);
    EXPECT_NE(slider(tall_)->value(), 5);
    EXPECT_EQ(bar->value(), scrolled);
    combo(tall_)->setFocus(Qt::TabFocusReason);
    wheel(combo(tall_), -1);
    EXPECT_NE(combo(tall_)->currentIndex(), 0);
}

TEST_F(PageAreaTest, OnAPageThatDoesNotScrollTheWheelWorksAsEverywhere) {
    ASSERT_EQ(scroll_.verticalScrollBar()->maximum(), 0);
    wheel(slider(short_), 1);
    EXPECT_NE(slider(short_)->value(), 5);
}

}  // namespace
}  // namespace tellune::ui

#include "ui/app/notification_pump.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QVBoxLayout>
#include <utility>
#include <vector>

#include "ui_test_support.h"

// A custom control that reports its own notification types.
class SelectPanelStub : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
signals:
    void controlNotify(const QString& type);
    void colorChanged(const QColor& color);
};

namespace tellune::ui {
namespace {

using Seen = std::vector<std::pair<QString, QString>>;

class Recorder : public NotificationSink {
public:
    void notify(const Notification& n) override { seen.emplace_back(n.type, n.sender); }
    Seen seen;
};

class NotificationPumpTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto* layout = new QVBoxLayout(&window_);
        auto add = [&](QWidget* w, const char* name) {
            w->setObjectName(name);
            layout->addWidget(w);
            return w;
        };
        button_ = static_cast<QPushButton*>(add(new QPushButton("x"), "closebtn"));
        option_ = static_cast<QRadioButton*>(add(new QRadioButton("o"), "DPI_model_2"));
        slider_ = static_cast<QSlider*>(add(new QSlider(Qt::Horizontal), "DPI_slider_3"));
        slider_->setRange(0, 139);
        combo_ = static_cast<QComboBox*>(add(new QComboBox, "keyset_function_combo"));
        combo_->addItems({"a", "b", "c"});
        edit_ = static_cast<QLineEdit*>(add(new QLineEdit, "DPI_edit_1"));
        other_edit_ = static_cast<QLineEdit*>(add(new QLineEdit, "macro_delay"));
        list_ = static_cast<QListWidget*>(add(new QListWidget, "macro_action"));
        list_->addItems({"one", "two"});
        panel_ = static_cast<SelectPanelStub*>(add(new SelectPanelStub, "device_key_light"));
        unnamed_ = new QPushButton("unnamed");
        layout->addWidget(unnamed_);
        pump_.attach(&window_);
        window_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
    }

    QWidget window_;
    Recorder sink_;
    NotificationPump pump_{&sink_};
    QPushButton* button_ = nullptr;
    QRadioButton* option_ = nullptr;
    QSlider* slider_ = nullptr;
    QComboBox* combo_ = nullptr;
    QLineEdit* edit_ = nullptr;
    QLineEdit* other_edit_ = nullptr;
    QListWidget* list_ = nullptr;
    SelectPanelStub* panel_ = nullptr;
    QPushButton* unnamed_ = nullptr;
};

TEST_F(NotificationPumpTest, ClickAndOptionByName) {
    test::DebugCapture debug;
    QTest::mouseClick(button_, Qt::LeftButton);
    EXPECT_EQ(sink_.seen, (Seen{{"click", "closebtn"}}));
    EXPECT_EQ(debug.lines(), (std::vector<std::string>{"click", "closebtn"}));

    sink_.seen.clear();
    // On the indicator: the rest of a wide radio button does not take clicks.
    QTest::mouseClick(option_, Qt::LeftButton, {}, QPoint(6, option_->height() / 2));
    ASSERT_EQ(sink_.seen.size(), 2u);
    EXPECT_TRUE(std::count(sink_.seen.begin(), sink_.seen.end(),
                           std::pair<QString, QString>("selectchanged", "DPI_model_2")) == 1);
    EXPECT_TRUE(std::count(sink_.seen.begin(), sink_.seen.end(),
                           std::pair<QString, QString>("click", "DPI_model_2")) == 1);

    // Controls without a name are not routed.
    sink_.seen.clear();
    QTest::mouseClick(unnamed_, Qt::LeftButton);
    EXPECT_TRUE(sink_.seen.empty());
}

TEST_F(NotificationPumpTest, SliderDragGivesMoveValuesThenTheSettledValue) {
    slider_->setSliderDown(true);
    slider_->setSliderPosition(40);
    slider_->setSliderPosition(41);
    EXPECT_EQ(sink_.seen,
              (Seen{{"movevaluechanged", "DPI_slider_3"}, {"movevaluechanged", "DPI_slider_3"}}));
    sink_.seen.clear();
    slider_->setSliderDown(false);
    EXPECT_EQ(sink_.seen, (Seen{{"valuechanged", "DPI_slider_3"}}));
    EXPECT_EQ(slider_->value(), 41);

    // A change without a drag (keyboard, page step) settles at once.
    sink_.seen.clear();
    slider_->setFocus();
    QTest::keyClick(slider_, Qt::Key_Right);
    EXPECT_EQ(sink_.seen, (Seen{{"valuechanged", "DPI_slider_3"}}));
}

TEST_F(NotificationPumpTest, ComboListAndCustomSignals) {
    combo_->setCurrentIndex(2);
    list_->setCurrentRow(1);
    emit list_->itemActivated(list_->item(1));
    emit panel_->controlNotify("click_select_end");
    emit panel_->colorChanged(Qt::red);
    EXPECT_EQ(sink_.seen, (Seen{{"itemselect", "keyset_function_combo"},
                                {"itemselect", "macro_action"},
                                {"itemactivate", "macro_action"},
                                {"click_select_end", "device_key_light"},
                                {"colorchanged", "device_key_light"}}));
}

TEST_F(NotificationPumpTest, EditsReportFocusGainAndLoss) {
    window_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
    edit_->setFocus();
    QCoreApplication::processEvents();
    sink_.seen.clear();
    other_edit_->setFocus();
    QCoreApplication::processEvents();
    EXPECT_EQ(sink_.seen, (Seen{{"killfocus", "DPI_edit_1"}, {"setfocus", "macro_delay"}}));
}

TEST_F(NotificationPumpTest, AttachingAgainAddsNewControlsOnly) {
    auto* late = new QPushButton("late", &window_);
    late->setObjectName("device_add_btn");
    pump_.attach(&window_);  // the existing controls must not be connected twice
    late->click();
    button_->click();
    EXPECT_EQ(sink_.seen, (Seen{{"click", "device_add_btn"}, {"click", "closebtn"}}));
}

TEST_F(NotificationPumpTest, TimerNotificationsWriteNoDebugLines) {
    test::DebugCapture debug;
    pump_.send("timer", button_);
    pump_.send("windowinit", &window_);
    EXPECT_EQ(debug.lines(), (std::vector<std::string>{"windowinit", ""}));
    EXPECT_EQ(sink_.seen.size(), 2u);
}

}  // namespace
}  // namespace tellune::ui

#include "notification_pump_test.moc"

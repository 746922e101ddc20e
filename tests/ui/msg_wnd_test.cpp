#include "ui/app/msg_wnd.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QTimer>

#include "test_support/temp_dir.h"
#include "ui/app/text_table.h"
#include "ui_test_support.h"

namespace tellune::ui {
namespace {

class MsgWndTest : public ::testing::Test {
protected:
    void SetUp() override {
        texts().clear();
        ASSERT_TRUE(texts().load_json(R"({"message_text_22": "Restore the defaults?",
                                          "msg_confirm": "OK", "msg_cancel": "Cancel"})"));
    }
    void TearDown() override { texts().clear(); }

    // Clicks `name` in the message box once it runs modally.
    static void click_when_shown(const QString& name) {
        QTimer::singleShot(0, [name] {
            QWidget* box = QApplication::activeModalWidget();
            ASSERT_NE(box, nullptr);
            auto* button = box->findChild<QAbstractButton*>(name);
            ASSERT_NE(button, nullptr);
            button->click();
        });
    }

    ScopedEnv data_{"TELLUNE_DATA_DIR", test::source_folder().toStdString()};
};

TEST_F(MsgWndTest, AnswersByButton) {
    click_when_shown("closebtn");
    EXPECT_EQ(ShowMessage(nullptr, "Title", "message_text_22", 96, true, 0), 0);
    click_when_shown("confirm_btn");
    EXPECT_EQ(ShowMessage(nullptr, "Title", "message_text_22", 96, true, 0), 1);
    click_when_shown("cancel_btn");
    EXPECT_EQ(ShowMessage(nullptr, "Title", "message_text_22", 96, true, 1), 0);
    click_when_shown("confirm_btn");
    EXPECT_EQ(ShowMessage(nullptr, {}, {}, 144, false, 1), 1);
}

TEST_F(MsgWndTest, ButtonsChoice) {
    CMsgWnd box(nullptr);
    box.show();
    box.set_buttons(0);
    EXPECT_FALSE(box.button("cancel_btn")->isVisible());
    EXPECT_TRUE(box.button("confirm_btn")->isVisible());
    box.set_buttons(7);  // unknown: layout unchanged
    EXPECT_FALSE(box.button("cancel_btn")->isVisible());
    box.set_buttons(1);
    EXPECT_TRUE(box.button("cancel_btn")->isVisible());
    EXPECT_TRUE(box.button("confirm_btn")->isVisible());
}

TEST_F(MsgWndTest, ScaleIsCheckedAndSizesTheBox) {
    CMsgWnd box(nullptr);
    test::DebugCapture debug;
    box.set_scale(144);
    EXPECT_EQ(box.scale(), 144);
    EXPECT_EQ(box.size(), QSize(630, 330));
    EXPECT_FALSE(debug.contains("MSG_WND DPI SET ERROR"));
    box.set_scale(100);
    EXPECT_TRUE(debug.contains("MSG_WND DPI SET ERROR"));
    EXPECT_EQ(box.scale(), 96);
    EXPECT_EQ(box.size(), QSize(420, 220));
}

TEST_F(MsgWndTest, TextIdFlagDecidesResolution) {
    CMsgWnd box(nullptr);
    box.set_text("message_text_22", true);
    EXPECT_EQ(box.text_label()->text(), "Restore the defaults?");
    box.set_title("Reset");
    EXPECT_EQ(box.title_label()->text(), "Reset");

    CMsgWnd plain(nullptr);
    plain.set_text("message_text_22", false);
    EXPECT_EQ(plain.text_label()->text(), "message_text_22");

    // After a language change only the flagged text follows.
    ASSERT_TRUE(texts().load_json(R"({"message_text_22": "恢复默认设置？"})"));
    retranslate(&box);
    retranslate(&plain);
    EXPECT_EQ(box.text_label()->text(), "恢复默认设置？");
    EXPECT_EQ(box.title_label()->text(), "Reset");
    EXPECT_EQ(plain.text_label()->text(), "message_text_22");

    // Empty title and text keep what the layout has.
    CMsgWnd keep(nullptr);
    const QString before = keep.text_label()->text();
    keep.set_text({}, true);
    keep.set_title({});
    EXPECT_EQ(keep.text_label()->text(), before);
}

}  // namespace
}  // namespace tellune::ui

#include "ui/app/control_factory.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <memory>

#include "test_support/temp_dir.h"
#include "ui_test_support.h"

namespace tellune::ui {
namespace {

// Wraps a widget tree in a minimal Designer document.
QByteArray ui_document(const QString& root_class, const QString& root_name, const QString& body) {
    return QString(R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <class>T</class>
 <widget class="%1" name="%2">
  <layout class="QVBoxLayout" name="%2_layout">%3</layout>
 </widget>
</ui>
)")
        .arg(root_class, root_name, body)
        .toUtf8();
}

QString item(const QString& cls, const QString& name) {
    return QString(R"(<item><widget class="%1" name="%2"/></item>)").arg(cls, name);
}

class ControlFactoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        skin_ = QString::fromStdString(dir_.path().string()) + "/";
        QDir().mkpath(skin_ + "XML/CustomControlXML");
    }
    void TearDown() override {
        ControlFactory::unregister_tag("TarvexMouseDevice");
        ControlFactory::unregister_tag("KeySetControl");
    }
    void write(const QString& relative, const QByteArray& content) {
        QFile f(skin_ + relative);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    std::unique_ptr<QWidget> load(const QString& relative) {
        ControlFactory factory(skin_);
        return std::unique_ptr<QWidget>(factory.load_layout(relative));
    }

    TempDir dir_;
    QString skin_;
};

TEST_F(ControlFactoryTest, TableMatchesTagsWithoutRegardToCase) {
    const auto* mouse = ControlFactory::find_tag("tarvexMOUSEdevice");
    ASSERT_NE(mouse, nullptr);
    EXPECT_STREQ(mouse->target, "CTarvexMouseDevice");
    EXPECT_FALSE(mouse->sub_layout);

    // "DeviceProfile" and "DeviceProfileUI" are different entries: a control and a layout.
    const auto* profile = ControlFactory::find_tag("DEVICEPROFILE");
    ASSERT_NE(profile, nullptr);
    EXPECT_STREQ(profile->target, "CDeviceProfileUI");
    const auto* profile_layout = ControlFactory::find_tag("deviceprofileui");
    ASSERT_NE(profile_layout, nullptr);
    EXPECT_TRUE(profile_layout->sub_layout);
    EXPECT_STREQ(profile_layout->target, "XML/CustomControlXML/DeviceProfile.ui");

    const auto* virtual_set = ControlFactory::find_tag("virtualsetcontrolui");
    ASSERT_NE(virtual_set, nullptr);
    EXPECT_STREQ(virtual_set->target, "XML/CustomControlXML/VirtualSet.ui");

    EXPECT_EQ(ControlFactory::find_tag("TarvexMouse"), nullptr);
    EXPECT_EQ(ControlFactory::find_tag("QPushButton"), nullptr);
    EXPECT_EQ(ControlFactory::find_tag(""), nullptr);
}

TEST_F(ControlFactoryTest, BuildsQtClassesPlaceholdersAndDropsUnknownTags) {
    write("XML/main.ui",
          ui_document("QWidget", "root",
                      item("QPushButton", "closebtn") + item("devicekeybutton", "key_1") +
                          item("NoSuchControl", "ghost") + item("QComboBox", "combo")));
    auto root = load("XML/main.ui");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->objectName(), "root");
    EXPECT_NE(root->findChild<QPushButton*>("closebtn"), nullptr);
    EXPECT_NE(root->findChild<QComboBox*>("combo"), nullptr);
    // A control class nobody registered yet still gives a named container.
    QWidget* key = root->findChild<QWidget*>("key_1");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->property("tellune_tag").toString(), "DeviceKeyButton");
    EXPECT_EQ(root->findChild<QWidget*>("ghost"), nullptr);
}

TEST_F(ControlFactoryTest, RegisteredCreatorBuildsTheTagInAnyCase) {
    int calls = 0;
    QString seen_name;
    ControlFactory::register_tag("TarvexMouseDevice",
                                 [&](QWidget* parent, const QString& name, ControlFactory&) {
                                     ++calls;
                                     seen_name = name;
                                     return new QLabel("mouse page", parent);
                                 });
    write("XML/main.ui", ui_document("QWidget", "root", item("TARVEXMOUSEDEVICE", "mouse_page")));
    auto root = load("XML/main.ui");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seen_name, "mouse_page");
    auto* page = root->findChild<QLabel*>("mouse_page");
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->text(), "mouse page");
}

TEST_F(ControlFactoryTest, SubLayoutsAreBuiltWithTheSameTable) {
    int key_controls = 0;
    ControlFactory::register_tag(
        "keysetcontrol", [&](QWidget* parent, const QString&, ControlFactory& factory) {
            ++key_controls;
            EXPECT_EQ(factory.depth(), 1);  // created while building the nested layout
            return new QWidget(parent);
        });
    write("XML/CustomControlXML/DeviceProfile.ui",
          ui_document("QWidget", "profile_root",
                      item("QComboBox", "device_profile_combo") + item("KeySetControl", "keyset")));
    write("XML/main.ui", ui_document("QWidget", "root", item("deviceProfileUI", "profile_panel")));
    auto root = load("XML/main.ui");
    ASSERT_NE(root, nullptr);
    // The layout's name for the element wins over the sub-layout's own root name.
    QWidget* panel = root->findChild<QWidget*>("profile_panel");
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->parentWidget(), root.get());
    EXPECT_NE(panel->findChild<QComboBox*>("device_profile_combo"), nullptr);
    EXPECT_NE(panel->findChild<QWidget*>("keyset"), nullptr);
    EXPECT_EQ(key_controls, 1);
}

TEST_F(ControlFactoryTest, MissingSubLayoutYieldsNoControlButTheRestLoads) {
    write("XML/main.ui",
          ui_document("QWidget", "root",
                      item("LightSetControlUI", "light") + item("QPushButton", "after")));
    auto root = load("XML/main.ui");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->findChild<QWidget*>("light"), nullptr);
    EXPECT_NE(root->findChild<QPushButton*>("after"), nullptr);
}

TEST_F(ControlFactoryTest, SelfIncludingSubLayoutStopsAtTheDepthLimit) {
    // A layout that names itself would otherwise recurse until the stack runs out.
    write("XML/CustomControlXML/MacroControl.ui",
          ui_document("QWidget", "macro", item("MacroSetControlUI", "inner")));
    write("XML/main.ui", ui_document("QWidget", "root", item("MacroSetControlUI", "outer")));
    auto root = load("XML/main.ui");
    ASSERT_NE(root, nullptr);
    int depth = 0;
    for (QWidget* w = root->findChild<QWidget*>("outer"); w; w = w->findChild<QWidget*>("inner"))
        ++depth;
    EXPECT_EQ(depth, ControlFactory::kMaxDepth);
}

TEST_F(ControlFactoryTest, BrokenOrMissingLayoutFileGivesNothing) {
    write("XML/broken.ui", "<ui version=\"4.0\"><widget class=\"QWidget\" name=\"x\"><layout");
    write("XML/empty.ui", "");
    EXPECT_EQ(load("XML/broken.ui"), nullptr);
    EXPECT_EQ(load("XML/empty.ui"), nullptr);
    EXPECT_EQ(load("XML/none.ui"), nullptr);
}

TEST_F(ControlFactoryTest, ShippedLayoutsHaveTheShellControls) {
    ControlFactory factory(test::shipped_skin());
    std::unique_ptr<QWidget> main(factory.load_layout("XML/main.ui"));
    ASSERT_NE(main, nullptr);
    for (const char* name :
         {"closebtn", "maxbtn", "restorebtn", "minbtn", "skinbtn", "gamemodebtn", "cloudbtn",
          "smarteyesbtn", "setbtn", "nodevice_ok_btn", "control_light_status"})
        EXPECT_NE(main->findChild<QPushButton*>(name), nullptr) << name;
    for (const char* name : {"device_select_layout", "device_switch", "device_power_switch",
                             "No_device_Link", "setting_progress", "str_test"})
        EXPECT_NE(main->findChild<QWidget*>(name), nullptr) << name;
    EXPECT_STREQ(main->findChild<QWidget*>("device_switch")->metaObject()->className(),
                 "QStackedWidget");
    std::unique_ptr<QWidget> msg(factory.load_layout("XML/msg.ui"));
    ASSERT_NE(msg, nullptr);
    for (const char* name :
         {"MessageTitle", "MessageText", "confirm_btn", "cancel_btn", "closebtn"})
        EXPECT_NE(msg->findChild<QWidget*>(name), nullptr) << name;
}

}  // namespace
}  // namespace tellune::ui

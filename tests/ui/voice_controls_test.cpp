// The headset's voice and magic voice pages as views: built from the shipped layouts, every
// operation shows what it is given without a notification, and a missing control is harmless.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QSignalSpy>
#include <memory>

#include "ui/app/control_factory.h"
#include "ui/editors/voice_controls_ui.h"
#include "ui_test_support.h"

namespace tellune::ui {
namespace {

class VoiceControls : public ::testing::Test {
protected:
    void SetUp() override {
        register_voice_controls();
        ControlFactory factory(test::shipped_skin());
        voice_.reset(qobject_cast<CVoice6533ControlUI*>(
            factory.load_layout("XML/CustomControlXML/Voice6533Control.ui")));
        magic_.reset(qobject_cast<CMagicControlUI*>(
            factory.load_layout("XML/CustomControlXML/MagicControl.ui")));
        ASSERT_NE(voice_, nullptr);
        ASSERT_NE(magic_, nullptr);
        EXPECT_EQ(voice_->objectName(), "Voice6533ControlItem");
        EXPECT_EQ(magic_->objectName(), "MagicControlItem");
    }
    void TearDown() override { unregister_voice_controls(); }
    QAbstractButton* option(int n) {
        return voice_->findChild<QAbstractButton*>(QStringLiteral("6533_eq_option_%1").arg(n));
    }

    std::unique_ptr<CVoice6533ControlUI> voice_;
    std::unique_ptr<CMagicControlUI> magic_;
};

TEST_F(VoiceControls, ExactlyOneEqualiserOptionOrNone) {
    for (int n = 1; n <= 13; ++n) ASSERT_NE(option(n), nullptr) << n;
    QSignalSpy toggled(option(4), &QAbstractButton::toggled);
    voice_->SelectEqualiser(4);
    voice_->SelectEqualiser(13);
    EXPECT_EQ(voice_->SelectedEqualiser(), 13);
    EXPECT_FALSE(option(4)->isChecked());
    EXPECT_TRUE(option(13)->isChecked());
    EXPECT_EQ(toggled.count(), 0);
    for (int bad : {0, 14, -1}) {
        voice_->SelectEqualiser(bad);
        EXPECT_EQ(voice_->SelectedEqualiser(), 0);
        for (int n = 1; n <= 13; ++n) EXPECT_FALSE(option(n)->isChecked()) << n;
    }
}

TEST_F(VoiceControls, BandsCoverThePresetGains) {
    voice_->SetBand(2, -13);
    voice_->SetBand(0, 18);
    EXPECT_EQ(voice_->GetBand(2), -13);
    EXPECT_EQ(voice_->GetBand(0), 18);
    EXPECT_EQ(voice_->GetBand(10), -1);  // no such slider
    voice_->SetMicLevel(100);
    EXPECT_EQ(voice_->GetMicLevel(), 100);
}

TEST_F(VoiceControls, UserEqualiserNamesAreShownAsTyped) {
    voice_->AddUserEqualiserName("bass_boost");  // would be a text id elsewhere
    voice_->AddUserEqualiserName("Mine");
    EXPECT_EQ(voice_->UserEqualiserCount(), 2);
    EXPECT_EQ(voice_->SelectedUserEqualiser(), -1);
    auto* combo = voice_->findChild<QComboBox*>("custom_eq_name_combo");
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->itemText(0), "bass_boost");
    QSignalSpy changed(combo, &QComboBox::currentIndexChanged);
    voice_->SetNewName("typed");
    voice_->SelectUserEqualiser(1);
    EXPECT_EQ(voice_->SelectedUserEqualiser(), 1);
    EXPECT_EQ(voice_->GetNewName(), "");  // selecting clears the edit
    voice_->RemoveUserEqualiser(0);
    EXPECT_EQ(voice_->UserEqualiserName(0), "Mine");
    EXPECT_EQ(voice_->UserEqualiserName(5), "");
    EXPECT_EQ(changed.count(), 0);
}

TEST_F(VoiceControls, VoicesCanBeChosenOnlyWhileTheChangerIsOn) {
    auto* area = magic_->findChild<QWidget*>("magic_option_layout");
    ASSERT_NE(area, nullptr);
    magic_->SetMagicOn(false);
    EXPECT_FALSE(area->isEnabled());
    magic_->SetMagicOn(true);
    EXPECT_TRUE(area->isEnabled());
    EXPECT_TRUE(magic_->IsMagicOn());
    magic_->SelectVoice(2);
    magic_->SelectVoice(4);
    EXPECT_EQ(magic_->SelectedVoice(), 4);
    EXPECT_FALSE(magic_->findChild<QAbstractButton*>("magic_option_2")->isChecked());
    magic_->SelectVoice(5);
    EXPECT_EQ(magic_->SelectedVoice(), 0);
    // Not offered at all: the switch is out of reach too.
    magic_->ShowUnavailable(true);
    EXPECT_FALSE(magic_->findChild<QWidget*>("magic_enable_option")->isEnabled());
    EXPECT_FALSE(area->isEnabled());
}

TEST(VoiceControlsBare, MissingControlsAreHarmless) {
    CVoice6533ControlUI voice;
    voice.SelectEqualiser(3);
    voice.SetBand(0, 5);
    voice.AddUserEqualiserName("x");
    EXPECT_EQ(voice.GetBand(0), -1);
    EXPECT_EQ(voice.GetMicLevel(), -1);
    EXPECT_EQ(voice.UserEqualiserCount(), 0);
    EXPECT_EQ(voice.SelectedUserEqualiser(), -1);
    EXPECT_EQ(voice.GetNewName(), "");
    CMagicControlUI magic;
    magic.SetMagicOn(true);
    EXPECT_FALSE(magic.IsMagicOn());
}

}  // namespace
}  // namespace tellune::ui

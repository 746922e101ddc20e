// Faults given as TELLUNE_EMULATOR_FAULTS text, seen through the whole program window: a
// mouse that refuses its information block is not taken into use (and says so), and a write
// refused half-way leaves the profile saved, the first chunk on the mouse and no end command.

#include <gtest/gtest.h>

#include <QAbstractSlider>
#include <mutex>
#include <string>
#include <vector>

#include "core/platform/platform.h"
#include "emulator/fault_spec.h"
#include "emulator/products.h"
#include "program_test.h"
#include "test_support/wait.h"
#include "ui/device/tarvex_devices.h"

namespace tellune::ui {
namespace {

class FaultsEndToEnd : public test::ProgramTest {
protected:
    void SetUp() override {
        backend_->plug(mouse_);
        set_debug_sink([this](std::string_view line) {
            std::lock_guard lock(mutex_);
            lines_.emplace_back(line);
        });
    }
    void TearDown() override {
        ProgramTest::TearDown();
        set_debug_sink(nullptr);
    }
    void arm(const char* text) {
        const emulator::FaultSpec spec = emulator::parse_fault_spec(text);
        ASSERT_TRUE(spec.errors.empty());
        ASSERT_TRUE(emulator::apply_faults(*backend_, spec.faults).empty());
    }
    bool said(const std::string& text) {
        std::lock_guard lock(mutex_);
        for (const std::string& line : lines_)
            if (line.find(text) != std::string::npos) return true;
        return false;
    }
    CTarvexMouseDevice* page() const {
        return pages_ ? qobject_cast<CTarvexMouseDevice*>(wnd_->current_page()) : nullptr;
    }

    std::shared_ptr<emulator::EmulatedDevice> mouse_ = emulator::make_mouse();
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

TEST_F(FaultsEndToEnd, RefusedInformationBlockLeavesTheMouseUnused) {
    arm("mouse:0x03:status=0xFE");
    open_window();
    ASSERT_SOON(said("鼠标连接失败：-103"), 5000);
    ASSERT_NE(page(), nullptr);
    EXPECT_FALSE(page()->Protocol().has_key_table());
    EXPECT_EQ(mouse_->command_count(0x07), 0u);  // the key table was never asked for
}

TEST_F(FaultsEndToEnd, WriteRefusedAtTheSecondChunk) {
    open_window();
    ASSERT_SOON(page() && page()->Protocol().has_key_table(), 5000);
    arm("mouse:0x06:status=0xFF@chunk=2");
    const uint64_t ends = mouse_->command_count(0x02);
    // Beyond the block, in the second chunk's reach: overwritten with zero if it went through.
    const uint8_t marker[] = {0xAB};
    ASSERT_TRUE(mouse_->poke_memory(60, marker));
    auto* slider = page()->findChild<QAbstractSlider*>(QStringLiteral("DPI_slider_2"));
    ASSERT_NE(slider, nullptr);
    slider->setValue(30);
    const std::vector<uint8_t> memory = mouse_->memory();
    EXPECT_EQ(memory[19], 30);                     // in the first chunk: written
    EXPECT_EQ(memory[60], 0xAB);                   // in the second chunk: refused, not written
    EXPECT_EQ(mouse_->command_count(0x02), ends);  // the sequence was not closed
    EXPECT_EQ(mouse_->fault_rules().size(), 1u);
}

}  // namespace
}  // namespace tellune::ui

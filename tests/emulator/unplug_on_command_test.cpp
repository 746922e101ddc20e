// Unplugging at a chosen command: the requests before it are answered as usual.

#include <gtest/gtest.h>

#include "emulator_test_util.h"

namespace tellune::emulator {
namespace {

using test::hex;
using test::Rig;

TEST(Faults, UnplugAtAChosenCommand) {
    Rig rig(make_mouse());
    rig.device->unplug_on_next_request(0x07);
    EXPECT_EQ(rig.exchange(hex("04 01 00 01")), hex("04 01 00 01"));
    EXPECT_TRUE(rig.device->plugged());
    const uint64_t changes = rig.backend.change_count();
    EXPECT_TRUE(rig.exchange(hex("04 07 00 07")).empty());
    EXPECT_FALSE(rig.device->plugged());
    EXPECT_NE(rig.backend.change_count(), changes);  // the scan looks again
    EXPECT_EQ(rig.device->command_count(0x07), 1u);
}

}  // namespace
}  // namespace tellune::emulator

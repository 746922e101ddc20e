// Faults from the text of TELLUNE_EMULATOR_FAULTS: the syntax, what bad rules say, which
// devices they reach, and how lasting rules behave on the device.

#include "emulator/fault_spec.h"

#include <gtest/gtest.h>

#include "emulator_test_util.h"
#include "test_support/temp_dir.h"

namespace tellune::emulator {
namespace {

using test::hex;
using test::Rig;

FaultRule rule(FaultKind kind, int command, int chunk = 1, uint8_t status = 0xFF, int times = -1) {
    return FaultRule{kind, command, chunk, status, times};
}

TEST(FaultSpec, ParsesEveryFaultAndOption) {
    const FaultSpec spec = parse_fault_spec(
        "mouse:0x09:status=0xFF@chunk=2;pad:*:noreply; KEYBOARD : 7 : WrongCmd @ Times=3 ;"
        "hd:0x1a:stale;mousepad:0XAA:unplug@chunk=4@times=1;*:2:status=254;;");
    EXPECT_TRUE(spec.errors.empty());
    const std::vector<DeviceFault> expected = {
        {"mouse", rule(FaultKind::status, 0x09, 2, 0xFF)},
        {"mousepad", rule(FaultKind::no_reply, -1)},
        {"keyboard", rule(FaultKind::wrong_command, 7, 1, 0xFF, 3)},
        {"headset", rule(FaultKind::stale_reply, 0x1A)},
        {"mousepad", rule(FaultKind::unplug, 0xAA, 4, 0xFF, 1)},
        {"*", rule(FaultKind::status, 2, 1, 0xFE)},
    };
    EXPECT_EQ(spec.faults, expected);
    EXPECT_TRUE(parse_fault_spec("").faults.empty());
    EXPECT_TRUE(parse_fault_spec(" ; ;").errors.empty());
}

TEST(FaultSpec, BadRulesAreNamedAndLeftOut) {
    struct Bad {
        const char* rule;
        const char* says;
    };
    const Bad bad[] = {
        {"mouse:0x09", "expected device:command:fault"},
        {"mouse:1:noreply:extra", "expected device:command:fault"},
        {"rat:1:noreply", "unknown device \"rat\""},
        {"mouse:0x100:noreply", "bad command \"0x100\""},
        {"mouse:-1:noreply", "bad command \"-1\""},
        {"mouse:nine:noreply", "bad command \"nine\""},
        {"mouse::noreply", "bad command \"\""},
        {"mouse:1:status=", "bad status \"\""},
        {"mouse:1:status=0x1FF", "bad status \"0x1ff\""},
        {"mouse:1:status=0xZZ", "bad status \"0xzz\""},
        {"mouse:1:explode", "unknown fault \"explode\""},
        {"mouse:1:noreply@chunk=0", "bad option \"chunk=0\""},
        {"mouse:1:noreply@times=0", "bad option \"times=0\""},
        {"mouse:1:noreply@when=3", "bad option \"when=3\""},
        {"mouse:1:noreply@chunk", "bad option \"chunk\""},
        {"mouse:1:noreply@chunk=99999999999", "bad option \"chunk=99999999999\""},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.rule);
        // A good rule on either side still parses.
        const FaultSpec spec =
            parse_fault_spec(std::string("mouse:1:noreply;") + b.rule + ";pad:2:unplug");
        ASSERT_EQ(spec.errors.size(), 1u);
        EXPECT_NE(spec.errors[0].find(std::string("TELLUNE_EMULATOR_FAULTS: \"") + b.rule +
                                      "\" ignored: "),
                  std::string::npos)
            << spec.errors[0];
        EXPECT_NE(spec.errors[0].find(b.says), std::string::npos) << spec.errors[0];
        ASSERT_EQ(spec.faults.size(), 2u);
        EXPECT_EQ(spec.faults[0].device, "mouse");
        EXPECT_EQ(spec.faults[1].device, "mousepad");
    }
}

TEST(FaultSpec, ReachesOnlyTheNamedDevices) {
    EmulatedBackend backend;
    auto mouse = make_mouse();
    auto pad = make_mouse_pad();
    auto second_mouse = make_mouse(1);
    backend.plug(mouse);
    backend.plug(pad);
    backend.plug(second_mouse);
    EXPECT_EQ(device_kind_name(*mouse), "mouse");
    EXPECT_EQ(device_kind_name(*pad), "mousepad");
    EXPECT_EQ(device_kind_name(*make_headset(12)), "headset");

    const FaultSpec spec =
        parse_fault_spec("mouse:1:noreply;pad:2:unplug;*:3:stale;headset:4:wrongcmd");
    const std::vector<std::string> unmatched = apply_faults(backend, spec.faults);
    ASSERT_EQ(unmatched.size(), 1u);
    EXPECT_EQ(unmatched[0], "TELLUNE_EMULATOR_FAULTS: no emulated headset to break");
    // "mouse" is not a prefix match: the mouse pad gets only its own and the common rule.
    const std::vector<FaultRule> for_mouse = {rule(FaultKind::no_reply, 1),
                                              rule(FaultKind::stale_reply, 3)};
    EXPECT_EQ(mouse->fault_rules(), for_mouse);
    EXPECT_EQ(second_mouse->fault_rules(), for_mouse);
    const std::vector<FaultRule> for_pad = {rule(FaultKind::unplug, 2),
                                            rule(FaultKind::stale_reply, 3)};
    EXPECT_EQ(pad->fault_rules(), for_pad);
}

TEST(FaultSpec, FromTheEnvironment) {
    EmulatedBackend backend;
    auto mouse = make_mouse();
    backend.plug(mouse);
    {
        ScopedEnv env(kFaultsVariable, "");
        EXPECT_TRUE(apply_faults_from_environment(backend).empty());
    }
    ScopedEnv env(kFaultsVariable, "mouse:0x01:noreply;mouse:0x01:sometimes;keyboard:1:unplug");
    const std::vector<std::string> lines = apply_faults_from_environment(backend);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("\"mouse:0x01:sometimes\" ignored: unknown fault"), std::string::npos);
    EXPECT_EQ(lines[1], "TELLUNE_EMULATOR_FAULTS: no emulated keyboard to break");
    EXPECT_EQ(mouse->fault_rules(), std::vector<FaultRule>{rule(FaultKind::no_reply, 1)});
}

TEST(FaultRules, StrikeTheirChunkOfEveryMatchingCommandUntilSpent) {
    Rig rig(make_mouse());
    // Chunk 2 of every write at 0x06, twice; then chunk 1 of any command, once.
    rig.device->add_fault_rule(rule(FaultKind::status, 0x06, 2, 0xFE, 2));
    rig.device->add_fault_rule(rule(FaultKind::no_reply, -1, 1, 0xFF, 1));
    EXPECT_TRUE(rig.exchange(hex("04 01 00 01"), 20).empty());  // the catch-all, spent
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        EXPECT_EQ(rig.exchange(hex("04 ef 00 06 03 80 00 00 11 22 33"))[7], 0x00);
        const std::vector<uint8_t> second = rig.exchange(hex("04 c0 01 06 03 b8 00 00 44 55 66"));
        ASSERT_FALSE(second.empty());
        EXPECT_EQ(second[7], round < 2 ? 0xFE : 0x00);
        EXPECT_EQ(rig.device->memory()[0xB9], round < 2 ? 0x00 : 0x55);  // refused: not written
    }
    const std::vector<FaultRule> spent = {rule(FaultKind::status, 0x06, 2, 0xFE, 0),
                                          rule(FaultKind::no_reply, -1, 1, 0xFF, 0)};
    EXPECT_EQ(rig.device->fault_rules(), spent);
    rig.device->clear_faults();
    EXPECT_TRUE(rig.device->fault_rules().empty());
}

TEST(FaultRules, WrongAndStaleReplies) {
    Rig rig(make_mouse());
    rig.device->add_fault_rule(rule(FaultKind::wrong_command, 0x01));
    rig.device->add_fault_rule(rule(FaultKind::stale_reply, 0x02));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(rig.exchange(hex("04 01 00 01")), hex("04 81 00 81"));
        EXPECT_TRUE(rig.next_reply(20).empty());
        EXPECT_EQ(rig.exchange(hex("04 02 00 02")), hex("04 82 00 82"));
        EXPECT_EQ(rig.next_reply(), hex("04 02 00 02"));
    }
}

TEST(FaultRules, UnplugOnTheStruckRequestOnly) {
    Rig rig(make_mouse());
    rig.device->add_fault_rule(rule(FaultKind::unplug, 0x06, 2));
    EXPECT_EQ(rig.exchange(hex("04 ef 00 06 03 80 00 00 11 22 33"))[7], 0x00);
    EXPECT_TRUE(rig.device->plugged());
    EXPECT_TRUE(rig.exchange(hex("04 c0 01 06 03 b8 00 00 44 55 66"), 50).empty());
    EXPECT_FALSE(rig.device->plugged());
    EXPECT_EQ(rig.device->memory()[0x80], 0x11);
    EXPECT_EQ(rig.device->memory()[0xB9], 0x00);
}

}  // namespace
}  // namespace tellune::emulator

// Setting requests as they cross the session bus: what survives the trip, and that a request
// any program could send is refused unless every value is one the device page could set.
#include "core/device/setting_request.h"

#include <gtest/gtest.h>

#include "core/hid/device_slots.h"
#include "core/profile/json_file.h"

namespace tellune::device {
namespace {

SettingRequest from(const char* text) {
    const auto r = request_from_json(parse_json(text));
    EXPECT_TRUE(r.has_value()) << text;
    return r.value_or(SettingRequest{});
}

TEST(SettingRequest, RoundTripsThroughJson) {
    SettingRequest dpi;
    dpi.stage = 7;
    dpi.step = 139;
    dpi.active = 0;
    const SettingRequest back = request_from_json(request_to_json(dpi)).value();
    EXPECT_EQ(back.what, SettingRequest::What::dpi);
    EXPECT_EQ(back.stage, 7);
    EXPECT_EQ(back.step, 139);
    EXPECT_EQ(back.active, 0);

    SettingRequest light;
    light.what = SettingRequest::What::light;
    light.light.colour = std::array<uint8_t, 3>{0x00, 0xAB, 0xFF};
    light.light.fx = 1;
    const Json::Value j = request_to_json(light);
    EXPECT_EQ(j["colour"].asString(), "00abff");
    EXPECT_FALSE(j.isMember("mode")) << "what was not asked for is not sent";
    const SettingRequest l = request_from_json(j).value();
    EXPECT_EQ(l.light.colour, light.light.colour);
    EXPECT_EQ(l.light.fx, 1);
    EXPECT_FALSE(l.light.mode.has_value());
    EXPECT_EQ(check_request(l, hid::kKindMousePad), "");
}

TEST(SettingRequest, HostileOrOutOfRangeRequestsAreRefused) {
    for (const char* bad :
         {"", "null", "[]", "{}", "{\"what\":1}", "{\"what\":\"erase\"}",
          "{\"what\":\"rate\",\"rate\":\"3\"}", "{\"what\":\"lift\",\"lift\":1.5}",
          "{\"what\":\"light\",\"colour\":\"#12345\"}", "{\"what\":\"light\",\"colour\":7}",
          "{\"what\":\"dpi\",\"stage\":99999999999}"})
        EXPECT_FALSE(request_from_json(parse_json(bad)).has_value()) << bad;

    const int mouse = hid::kKindMouse, pad = hid::kKindMousePad;
    EXPECT_EQ(check_request(from("{\"what\":\"dpi\",\"stage\":7,\"step\":139}"), mouse), "");
    EXPECT_EQ(check_request(from("{\"what\":\"rate\",\"rate\":4}"), mouse), "");
    EXPECT_EQ(check_request(from("{\"what\":\"lift\",\"lift\":2}"), mouse), "");
    EXPECT_EQ(check_request(from("{\"what\":\"light\",\"mode\":8}"), pad), "");
    EXPECT_EQ(check_request(from("{\"what\":\"light\",\"mode\":255}"), mouse), "");
    for (const auto& [text, kind] : std::vector<std::pair<const char*, int>>{
             {"{\"what\":\"dpi\"}", mouse},
             {"{\"what\":\"dpi\",\"stage\":8,\"step\":1}", mouse},
             {"{\"what\":\"dpi\",\"stage\":0,\"step\":140}", mouse},
             {"{\"what\":\"dpi\",\"stage\":0}", mouse},
             {"{\"what\":\"dpi\",\"active\":-2}", mouse},
             {"{\"what\":\"dpi\",\"active\":8}", mouse},
             {"{\"what\":\"rate\",\"rate\":5}", mouse},
             {"{\"what\":\"rate\"}", mouse},
             {"{\"what\":\"lift\",\"lift\":3}", mouse},
             {"{\"what\":\"rate\",\"rate\":1}", pad},
             {"{\"what\":\"light\"}", mouse},
             {"{\"what\":\"light\",\"mode\":9}", pad},
             {"{\"what\":\"light\",\"mode\":256}", mouse},
             {"{\"what\":\"light\",\"brightness\":5}", mouse},
             {"{\"what\":\"light\",\"speed\":-1}", mouse},
             {"{\"what\":\"light\",\"fx\":2}", mouse},
             {"{\"what\":\"light\",\"brightness\":1}", hid::kKindKeyboard},
         })
        EXPECT_NE(check_request(from(text), kind), "") << text << " on kind " << kind;
}

TEST(SettingRequest, ChangedLightKeepsWhatWasNotAsked) {
    const LightSettings old = LightSettings::make(3, 1, 2, 0, 1, 0x10, 0x20, 0x30, 7);
    LightChange speed;
    speed.speed = 4;
    const LightSettings s = changed_light(speed, old);
    EXPECT_EQ(s.select_item(), 3);
    EXPECT_EQ(s.speed(), 4);
    EXPECT_EQ(s.multi_color(), 1) << "no colour given: the colours stay as they were";
    EXPECT_EQ(s.led_mode(), 7);
    LightChange colour;
    colour.colour = std::array<uint8_t, 3>{1, 2, 3};
    const LightSettings c = changed_light(colour, old);
    EXPECT_EQ(c.multi_color(), 0);
    const std::array<uint8_t, 3> rgb = {c.red(), c.green(), c.blue()};
    EXPECT_EQ(rgb, (std::array<uint8_t, 3>{1, 2, 3}));
}

}  // namespace
}  // namespace tellune::device

namespace tellune::device {
namespace {

KeyAssignmentRecord key(uint8_t type, uint8_t p1, uint8_t p2, uint8_t dt, uint8_t d1, uint8_t d2) {
    KeyAssignmentRecord k{};
    k.key_index = 3;
    k.type = type;
    k.param1 = p1;
    k.param2 = p2;
    k.spare = 0x5A;
    k.default_key_index = 3;
    k.default_type = dt;
    k.default_param1 = d1;
    k.default_param2 = d2;
    return k;
}

TEST(SettingRequest, KeymapCrossesTheBusAndIsCheckedAgainstTheKeysAndMacros) {
    SettingRequest r;
    r.what = SettingRequest::What::keymap;
    r.key = 1;
    r.code = {0x70, 2, 3};
    SettingRequest back = request_from_json(request_to_json(r)).value();
    EXPECT_EQ(back.what, SettingRequest::What::keymap);
    EXPECT_EQ(back.key, 1);
    EXPECT_FALSE(back.use_default);
    EXPECT_EQ(back.code.type, 0x70);
    EXPECT_EQ(back.code.param1, 2);
    EXPECT_EQ(back.code.param2, 3);
    EXPECT_EQ(check_request(back, hid::kKindMouse), "");
    EXPECT_NE(check_request(back, hid::kKindMousePad), "");

    std::vector<KeyAssignmentRecord> keys = {key(0x10, 1, 0, 0x10, 1, 0),
                                             key(0x20, 0, 4, 0x10, 2, 0)};
    // Macro 2 needs a library of three.
    EXPECT_NE(apply_keymap(back, keys, 2), "");
    EXPECT_EQ(keys[1].type, 0x20) << "a refused request changes nothing";
    EXPECT_EQ(apply_keymap(back, keys, 3), "");
    EXPECT_EQ(keys[1].type, 0x70);
    EXPECT_EQ(keys[1].param1, 2);
    EXPECT_EQ(keys[1].param2, 3);
    EXPECT_EQ(keys[1].key_index, 3) << "the key index stays";
    EXPECT_EQ(keys[1].spare, 0x5A) << "the spare byte stays";
    EXPECT_EQ(keys[0].param1, 1);

    // The default comes from the key's own default record.
    SettingRequest def = from("{\"what\":\"keymap\",\"key\":1,\"default\":true}");
    EXPECT_TRUE(def.use_default);
    EXPECT_EQ(check_request(def, hid::kKindMouse), "");
    EXPECT_EQ(apply_keymap(def, keys, 0), "");
    EXPECT_EQ(keys[1].type, 0x10);
    EXPECT_EQ(keys[1].param1, 2);
    EXPECT_EQ(keys[1].param2, 0);
    // A button the profile lacks.
    SettingRequest far =
        from("{\"what\":\"keymap\",\"key\":5,\"type\":16,\"param1\":1,\"param2\":0}");
    EXPECT_EQ(check_request(far, hid::kKindMouse), "");
    EXPECT_NE(apply_keymap(far, keys, 0), "");

    for (const char* bad :
         {"{\"what\":\"keymap\",\"key\":0,\"type\":256,\"param1\":0,\"param2\":0}",
          "{\"what\":\"keymap\",\"key\":0,\"type\":16,\"param1\":-1,\"param2\":0}",
          "{\"what\":\"keymap\",\"key\":0,\"type\":16,\"param1\":1}",
          "{\"what\":\"keymap\",\"key\":0,\"default\":1}",
          "{\"what\":\"keymap\",\"key\":\"0\",\"default\":true}"})
        EXPECT_FALSE(request_from_json(parse_json(bad)).has_value()) << bad;
    for (const char* bad :
         {"{\"what\":\"keymap\",\"default\":true}",
          "{\"what\":\"keymap\",\"key\":11,\"default\":true}",
          "{\"what\":\"keymap\",\"key\":0,\"type\":85,\"param1\":0,\"param2\":0}",
          "{\"what\":\"keymap\",\"key\":0,\"type\":0,\"param1\":0,\"param2\":0}",
          "{\"what\":\"keymap\",\"key\":0,\"type\":160,\"param1\":9,\"param2\":0}"})
        EXPECT_NE(check_request(from(bad), hid::kKindMouse), "") << bad;
}

TEST(SettingRequest, KeyboardKeymapTakesItsKeysAndFunctionsOnly) {
    const auto check = [](const char* text, int kind) { return check_request(from(text), kind); };
    // Key 125 (right Win) is past the mouse's buttons but the keyboard's last key.
    const char* last = "{\"what\":\"keymap\",\"key\":125,\"type\":32,\"param1\":1,\"param2\":6}";
    EXPECT_EQ(check(last, hid::kKindKeyboard), "");
    EXPECT_NE(check(last, hid::kKindMouse), "");
    EXPECT_NE(check(last, hid::kKindHeadset), "");
    for (const char* bad :
         {"{\"what\":\"keymap\",\"key\":126,\"default\":true}",
          // Fn stays Fn, even as its own default.
          "{\"what\":\"keymap\",\"key\":110,\"default\":true}",
          // Sensitivity and recoil keys are the mouse's.
          "{\"what\":\"keymap\",\"key\":0,\"type\":19,\"param1\":1,\"param2\":0}",
          "{\"what\":\"keymap\",\"key\":0,\"type\":114,\"param1\":0,\"param2\":0}",
          "{\"what\":\"dpi\",\"active\":1}", "{\"what\":\"rate\",\"rate\":1}"})
        EXPECT_NE(check(bad, hid::kKindKeyboard), "") << bad;
    EXPECT_EQ(check("{\"what\":\"keymap\",\"key\":0,\"type\":19,\"param1\":1,\"param2\":0}",
                    hid::kKindMouse),
              "");
}

}  // namespace
}  // namespace tellune::device

#include "core/device/setting_request.h"

#include <charconv>
#include <cstdio>

#include "core/device/dpi_steps.h"
#include "core/device/key_text.h"
#include "core/device/keyboard_protocol.h"
#include "core/device/pad_protocol.h"
#include "core/hid/device_slots.h"
#include "core/profile/profile_data.h"

namespace tellune::device {
namespace {

std::string range(const char* what, int low, int high) {
    return std::string(what) + " must be " + std::to_string(low) + "-" + std::to_string(high);
}

bool in(int v, int low, int high) {
    return v >= low && v <= high;
}

// A member that is an integer, else nullopt (also when present with another type).
std::optional<int> int_member(const Json::Value& v, const char* name, bool& bad) {
    if (!v.isMember(name)) return std::nullopt;
    const Json::Value& m = v[name];
    if (!m.isInt()) {
        bad = true;
        return std::nullopt;
    }
    return m.asInt();
}

}  // namespace

int max_light_mode(int kind) {
    return kind == hid::kKindMousePad ? kPadMaxMode : 255;
}

std::string check_request(const SettingRequest& r, int kind) {
    const bool mouse = kind == hid::kKindMouse || kind == hid::kKindWirelessMouse;
    const bool keyboard = kind == hid::kKindKeyboard;
    using W = SettingRequest::What;
    if (r.what == W::keymap && !mouse && !keyboard)
        return "this command is for a mouse or a keyboard";
    if (r.what != W::light && r.what != W::keymap && !mouse) return "this command is for a mouse";
    if (r.what == W::light && !mouse && kind != hid::kKindMousePad)
        return "this command is for a mouse or a mouse pad";
    const int stages = int(kMaxDpiStages);
    switch (r.what) {
        case W::dpi:
            if ((r.stage < 0) != (r.step < 0)) return "a stage and its value go together";
            if (r.stage < 0 && r.active < 0) return "nothing to change";
            if (r.stage >= 0 && !in(r.stage, 0, stages - 1)) return range("the stage", 1, stages);
            if (r.step >= 0 && !in(r.step, 0, kDpiStepMax)) return "no such DPI step";
            if (r.active >= 0 && !in(r.active, 0, stages - 1))
                return range("the active stage", 1, stages);
            return {};
        case W::rate:
            return in(r.rate_index, 0, int(kReportRatesHz.size()) - 1) ? std::string{}
                                                                       : "no such report rate";
        case W::lift:
            return in(r.lift, 0, kLiftSettings - 1) ? std::string{} : range("the lift", 1, 3);
        case W::keymap:
            if (keyboard) {
                if (!in(r.key, 0, int(kKeyboardKeys) - 1))
                    return range("the key", 1, int(kKeyboardKeys));
                if (r.key == kKeyboardFnKey) return "the Fn key cannot be assigned";
            } else if (!in(r.key, 0, kMouseButtons - 1)) {
                return range("the button", 1, kMouseButtons);
            }
            if (!r.use_default &&
                !function_offered(r.code, keyboard ? kDeviceModeKeyboard : kDeviceModeMouse))
                return "no such key function";
            return {};
        case W::light: {
            const LightChange& l = r.light;
            if (l.empty()) return "nothing to change";
            if (l.mode && !in(*l.mode, 0, max_light_mode(kind))) return "no such light mode";
            if (l.brightness && !in(*l.brightness, 0, kLightLevelMax))
                return range("the brightness", 0, kLightLevelMax);
            if (l.speed && !in(*l.speed, 0, kLightLevelMax))
                return range("the speed", 0, kLightLevelMax);
            if (l.fx && !in(*l.fx, 0, 1)) return "the direction must be left or right";
            return {};
        }
    }
    return "unknown request";
}

Json::Value request_to_json(const SettingRequest& r) {
    Json::Value v;
    using W = SettingRequest::What;
    switch (r.what) {
        case W::dpi:
            v["what"] = "dpi";
            if (r.stage >= 0) {
                v["stage"] = r.stage;
                v["step"] = r.step;
            }
            if (r.active >= 0) v["active"] = r.active;
            break;
        case W::rate:
            v["what"] = "rate";
            v["rate"] = r.rate_index;
            break;
        case W::lift:
            v["what"] = "lift";
            v["lift"] = r.lift;
            break;
        case W::light:
            v["what"] = "light";
            if (r.light.mode) v["mode"] = *r.light.mode;
            if (r.light.brightness) v["brightness"] = *r.light.brightness;
            if (r.light.speed) v["speed"] = *r.light.speed;
            if (r.light.fx) v["fx"] = *r.light.fx;
            if (r.light.colour) {
                char text[8];
                std::snprintf(text, sizeof text, "%02x%02x%02x", (*r.light.colour)[0],
                              (*r.light.colour)[1], (*r.light.colour)[2]);
                v["colour"] = text;
            }
            break;
        case W::keymap:
            v["what"] = "keymap";
            v["key"] = r.key;
            if (r.use_default) {
                v["default"] = true;
            } else {
                v["type"] = r.code.type;
                v["param1"] = r.code.param1;
                v["param2"] = r.code.param2;
            }
            break;
    }
    return v;
}

std::optional<SettingRequest> request_from_json(const Json::Value& v) {
    if (!v.isObject() || !v["what"].isString()) return std::nullopt;
    const std::string what = v["what"].asString();
    SettingRequest r;
    bool bad = false;
    if (what == "dpi") {
        r.what = SettingRequest::What::dpi;
        r.stage = int_member(v, "stage", bad).value_or(-1);
        r.step = int_member(v, "step", bad).value_or(-1);
        r.active = int_member(v, "active", bad).value_or(-1);
    } else if (what == "rate") {
        r.what = SettingRequest::What::rate;
        r.rate_index = int_member(v, "rate", bad).value_or(-1);
    } else if (what == "lift") {
        r.what = SettingRequest::What::lift;
        r.lift = int_member(v, "lift", bad).value_or(-1);
    } else if (what == "light") {
        r.what = SettingRequest::What::light;
        r.light.mode = int_member(v, "mode", bad);
        r.light.brightness = int_member(v, "brightness", bad);
        r.light.speed = int_member(v, "speed", bad);
        r.light.fx = int_member(v, "fx", bad);
        if (v.isMember("colour")) {
            if (!v["colour"].isString() || !(r.light.colour = parse_colour(v["colour"].asString())))
                bad = true;
        }
    } else if (what == "keymap") {
        r.what = SettingRequest::What::keymap;
        r.key = int_member(v, "key", bad).value_or(-1);
        if (v.isMember("default")) {
            if (!v["default"].isBool()) return std::nullopt;
            r.use_default = v["default"].asBool();
        }
        const auto byte = [&](const char* name) {
            const int b = int_member(v, name, bad).value_or(r.use_default ? 0 : -1);
            if (b < 0 || b > 0xFF) bad = true;
            return uint8_t(b);
        };
        r.code = {byte("type"), byte("param1"), byte("param2")};
    } else {
        return std::nullopt;
    }
    if (bad) return std::nullopt;
    return r;
}

void apply_to_mouse(const SettingRequest& r, MouseSettings& s, CMouseProfiledata& profile) {
    using W = SettingRequest::What;
    switch (r.what) {
        case W::dpi:
            if (r.stage >= 0) {
                // A stage the profile lacks is added, as the page adds it when its slider moves.
                if (size_t(r.stage) >= s.stages.size()) s.stages.resize(size_t(r.stage) + 1);
                s.stages[size_t(r.stage)].dpi_x = uint16_t(r.step);
                profile.write_dpi_stages(s.stages);
            }
            if (r.active >= 0) {
                s.active_stage = r.active;
                profile.set_active_stage(r.active);
            }
            break;
        case W::rate: {
            uint32_t& word = s.system.word[2];
            word = (word & 0xFFFFu) | uint32_t(r.rate_index) << 16;
            profile.write_system_words(s.system);
            break;
        }
        case W::lift:
            s.system.word[3] = uint32_t(r.lift);
            profile.write_system_words(s.system);
            break;
        case W::light:
        case W::keymap:
            break;
    }
}

std::string apply_keymap(const SettingRequest& r, std::vector<KeyAssignmentRecord>& keys,
                         size_t macros) {
    if (r.what != SettingRequest::What::keymap) return "not a key request";
    if (r.key < 0 || size_t(r.key) >= keys.size())
        return "the profile has no key " + std::to_string(r.key + 1);
    KeyAssignmentRecord& key = keys[size_t(r.key)];
    KeyFunction f = current_function(key);
    const KeyFunction def = default_function(key);
    const FunctionCode c = r.use_default ? FunctionCode{def.type, def.param1, def.param2} : r.code;
    if (!r.use_default && (c.type == kFnMacro || c.type == kFnMacroRepeat) && c.param1 >= macros)
        return "the macro library has no macro " + std::to_string(c.param1 + 1);
    f.type = c.type;
    f.param1 = c.param1;
    f.param2 = c.param2;
    set_current_function(key, f);
    return {};
}

LightSettings changed_light(const LightChange& change, const LightSettings& old) {
    const std::array<uint8_t, 3> rgb =
        change.colour.value_or(std::array<uint8_t, 3>{old.red(), old.green(), old.blue()});
    return LightSettings::make(
        change.mode ? uint8_t(*change.mode) : old.select_item(),
        uint8_t(change.brightness.value_or(old.light())),
        uint8_t(change.speed.value_or(old.speed())), uint8_t(change.fx.value_or(old.fx())),
        change.colour ? 0 : old.multi_color(), rgb[0], rgb[1], rgb[2], old.led_mode());
}

std::optional<std::array<uint8_t, 3>> parse_colour(std::string_view text) {
    if (!text.empty() && text.front() == '#') text.remove_prefix(1);
    if (text.size() != 6) return std::nullopt;
    std::array<uint8_t, 3> rgb{};
    for (size_t i = 0; i < 3; ++i) {
        const char* p = text.data() + 2 * i;
        const auto [end, ec] = std::from_chars(p, p + 2, rgb[i], 16);
        if (ec != std::errc() || end != p + 2) return std::nullopt;
    }
    return rgb;
}

}  // namespace tellune::device

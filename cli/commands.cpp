#include "cli/commands.h"

#include <json/json.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <map>
#include <optional>
#include <string_view>

#include "core/device/dpi_steps.h"
#include "core/device/mouse_protocol.h"
#include "core/device/pad_protocol.h"
#include "core/hid/command_channel.h"
#include "core/hid/device_slots.h"
#include "core/platform/platform.h"
#include "core/profile/device_folders.h"
#include "core/profile/json_file.h"
#include "core/profile/light_presets.h"
#include "core/profile/profile_data.h"
#include "core/profile/profile_list.h"

namespace tellune::cli {
namespace {

constexpr std::array<int, 5> kReportRatesHz = {125, 250, 500, 1000, 2000};
constexpr int kLiftSettings = 3;
constexpr int kLightLevelMax = 4;
constexpr int kDpiStages = int(device::kMaxDpiStages);
constexpr std::string_view kModePrefix = "light_mode_";

constexpr char kUsage[] =
    "Usage: tellunectl [--emulate] [--json] COMMAND [ARGS]\n"
    "  --emulate   work on the built-in emulated devices\n"
    "  --json      listings as JSON\n"
    "Commands:\n"
    "  list                      the connected devices\n"
    "  dpi DEVICE [...]          sensitivity stages of a mouse\n"
    "  rate DEVICE HZ            report rate of a mouse\n"
    "  lift DEVICE N             lift setting of a mouse\n"
    "  light DEVICE [...]        lighting of a mouse or a mouse pad\n"
    "DEVICE is a kind (mouse, pad, keyboard, headset) or a node as `list` shows it.\n"
    "COMMAND --help tells more. Exit codes: 0 done, 1 failed on the device, 2 bad usage,\n"
    "3 no such device.\n";

const std::map<std::string_view, std::string_view> kCommandHelp = {
    {"list",
     "Usage: tellunectl list\n"
     "Lists the connected devices: kind, node, vendor:product, HID version, path.\n"},
    {"dpi",
     "Usage: tellunectl dpi DEVICE [--stage N --value DPI] [--active N]\n"
     "  --stage N --value DPI   set stage N (1-8) to DPI (100-12000 in steps of 100,\n"
     "                          12200-16000 in steps of 200)\n"
     "  --active N              make stage N (1-8) the active one\n"
     "Without options the stages of the current profile are listed.\n"},
    {"rate",
     "Usage: tellunectl rate DEVICE HZ\n"
     "  HZ is one of 125, 250, 500, 1000, 2000.\n"},
    {"lift",
     "Usage: tellunectl lift DEVICE N\n"
     "  N is the lift setting 1-3, in the order the window lists them.\n"},
    {"light",
     "Usage: tellunectl light DEVICE [--mode NAME|N] [--colour RRGGBB] [--brightness 0-4]\n"
     "                        [--speed 0-4] [--direction left|right]\n"
     "  --mode        a mode by name (wave, breathing, static, ...) or number from 0\n"
     "  --colour      one colour for the whole device, six hex digits\n"
     "Options left out keep what the current profile holds.\n"},
};

struct UsageError {
    std::string message;
};

std::optional<int> parse_int(std::string_view text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

// Positional arguments and "--name value" / "--name=value" options of one command.
struct Arguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    bool help = false;
};

std::optional<Arguments> split_arguments(const std::vector<std::string>& args, size_t first,
                                         std::initializer_list<std::string_view> known,
                                         std::string& error) {
    Arguments out;
    for (size_t i = first; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            out.help = true;
            continue;
        }
        if (a.size() < 2 || a.compare(0, 2, "--") != 0) {
            out.positional.push_back(a);
            continue;
        }
        std::string name = a.substr(2);
        std::optional<std::string> value;
        if (const size_t eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        if (std::find(known.begin(), known.end(), name) == known.end()) {
            error = "unknown option --" + name;
            return std::nullopt;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                error = "--" + name + " needs a value";
                return std::nullopt;
            }
            value = args[++i];
        }
        if (out.options.count(name)) {
            error = "--" + name + " given twice";
            return std::nullopt;
        }
        out.options[name] = *value;
    }
    return out;
}

int bounded(const std::string& text, int low, int high, const char* what, std::string& error) {
    const std::optional<int> v = parse_int(text);
    if (!v || *v < low || *v > high) {
        error = std::string(what) + " must be " + std::to_string(low) + "-" + std::to_string(high) +
                ", not \"" + text + "\"";
        return -1;
    }
    return *v;
}

std::string_view kind_name(int kind) {
    switch (kind) {
        case hid::kKindMouse:
        case hid::kKindWirelessMouse:
            return "mouse";
        case hid::kKindMousePad:
            return "pad";
        case hid::kKindKeyboard:
            return "keyboard";
        case hid::kKindHeadset:
            return "headset";
        default:
            return "unknown";
    }
}

std::string node_of(const std::string& path) {
    return path.substr(0, path.find('?'));
}

// The configuration interfaces of the connected devices, in slot order.
std::vector<hid::DeviceSlot> connected_devices(hid::HidBackend& backend) {
    hid::DeviceScanner scanner(backend, {});
    scanner.ScanOnce();
    std::vector<hid::DeviceSlot> out;
    for (const hid::DeviceSlot& s : scanner.Slots())
        if (s.present && s.role == hid::kRoleConfiguration && !s.path.empty()) out.push_back(s);
    return out;
}

std::optional<hid::DeviceSlot> find_device(const std::vector<hid::DeviceSlot>& devices,
                                           std::string_view name) {
    if (name == "mousepad") name = "pad";
    for (const hid::DeviceSlot& s : devices)
        if (kind_name(s.kind) == name || node_of(s.path) == name || s.path == name) return s;
    return std::nullopt;
}

bool is_mouse(const hid::DeviceSlot& s) {
    return s.kind == hid::kKindMouse || s.kind == hid::kKindWirelessMouse;
}

// The profile the window would show for `kind`: the selected entry of the device's profile
// list ("profile1" made from the defaults when there is none), loaded by the same rules.
bool open_profile(int kind, CBasicProfiledata& profile, std::string& error) {
    const std::string folder = user_data_folder(device_folder_name(kind));
    ProfileList list;
    list.set_kind(kind);
    list.set_paths(folder, default_profile_file(kind));
    if (!list.init()) {
        error = "the profile list in " + folder + " cannot be read or written";
        return false;
    }
    const std::string uuid = list.selected_uuid();
    const std::string path = user_profile_file(kind, uuid);
    if (path.empty()) {
        error = "no profile selected in " + folder;
        return false;
    }
    profile.set_default_profile_path(default_profile_file(kind));
    profile.set_profile_path(path);
    profile.set_profile_name(list.name_of(uuid));
    profile.set_light_list_path(custom_light_list_file(kind));
    profile.load_profile(path);
    profile.load_light_list(profile.light_list_path());
    return true;
}

class Runner {
public:
    Runner(hid::HidBackend& backend, std::ostream& out, std::ostream& err, bool json)
        : backend_(backend), out_(out), err_(err), json_(json) {}

    int list();
    int dpi(const Arguments& a);
    int rate(const Arguments& a);
    int lift(const Arguments& a);
    int light(const Arguments& a);

private:
    int usage(const std::string& message) {
        err_ << "tellunectl: " << message << "\n";
        return kExitUsage;
    }
    int failed(const std::string& message) {
        err_ << "tellunectl: " << message << "\n";
        return kExitDeviceFailed;
    }
    // The mouse or pad named by `name`; prints why not and sets `code` when there is none.
    std::optional<hid::DeviceSlot> device(std::string_view name, bool mouse_only, int& code);
    void print_json(const Json::Value& value) {
        Json::StreamWriterBuilder builder;
        builder["indentation"] = "  ";
        out_ << Json::writeString(builder, value) << "\n";
    }
    // Connects the mouse and loads its profile; the caller changes both and calls finish.
    struct MouseSession {
        hid::CCommandChannel channel;
        device::MouseProtocol protocol{channel};
        CMouseProfiledata profile;
        explicit MouseSession(hid::HidBackend& b) : channel(b) {}
    };
    int open_mouse(const hid::DeviceSlot& slot, MouseSession& session);
    int finish_mouse(MouseSession& session);

    hid::HidBackend& backend_;
    std::ostream& out_;
    std::ostream& err_;
    bool json_;
};

std::optional<hid::DeviceSlot> Runner::device(std::string_view name, bool mouse_only, int& code) {
    const std::optional<hid::DeviceSlot> slot = find_device(connected_devices(backend_), name);
    if (!slot) {
        err_ << "tellunectl: no such device: " << name << "\n";
        code = kExitNoDevice;
        return std::nullopt;
    }
    const bool supported = is_mouse(*slot) || (!mouse_only && slot->kind == hid::kKindMousePad);
    if (!supported) {
        code = usage(std::string(name) + " is a " + std::string(kind_name(slot->kind)) +
                     (mouse_only ? "; this command is for a mouse"
                                 : "; this command is for a mouse or a mouse pad"));
        return std::nullopt;
    }
    return slot;
}

int Runner::list() {
    Json::Value devices(Json::arrayValue);
    for (const hid::DeviceSlot& s : connected_devices(backend_)) {
        hid::CHidDevice hid(backend_);
        int version = -1;
        uint16_t vendor = s.vendor_id, product = s.product_id;
        // The device's own ids: rows of the match table may leave them open.
        if (hid.Open(s.path, false, false, false, false)) {
            version = hid.Attributes().version;
            vendor = hid.Attributes().vendor_id;
            product = hid.Attributes().product_id;
        }
        Json::Value d;
        d["kind"] = std::string(kind_name(s.kind));
        d["node"] = node_of(s.path);
        d["path"] = s.path;
        char id[16];
        std::snprintf(id, sizeof id, "%04x:%04x", vendor, product);
        d["id"] = id;
        if (version >= 0) d["hid_version"] = version;
        devices.append(d);
    }
    if (json_) {
        print_json(devices);
        return kExitDone;
    }
    for (const Json::Value& d : devices) {
        char version[16] = "-";
        if (d.isMember("hid_version"))
            std::snprintf(version, sizeof version, "%04x", d["hid_version"].asUInt());
        out_ << d["kind"].asString() << "\t" << d["node"].asString() << "\t" << d["id"].asString()
             << "\tHID " << version << "\t" << d["path"].asString() << "\n";
    }
    return kExitDone;
}

int Runner::open_mouse(const hid::DeviceSlot& slot, MouseSession& session) {
    std::string error;
    if (!open_profile(hid::kKindMouse, session.profile, error)) return failed(error);
    if (!session.channel.Connect(slot.path)) return failed("cannot open " + slot.path);
    session.channel.SetWireless(slot.kind == hid::kKindWirelessMouse);
    const device::ConnectResult connected = session.protocol.connect_device();
    if (connected.result != 1)
        return failed("the mouse did not answer (" + std::to_string(connected.result) + ")");
    session.protocol.take_profile(session.profile);
    session.protocol.apply_light_settings(session.profile);
    return kExitDone;
}

// As the page does after each change: the profile is saved, then the settings are written.
int Runner::finish_mouse(MouseSession& session) {
    if (!session.profile.save_profile())
        return failed("cannot save " + session.profile.profile_path());
    const int r = session.protocol.write_settings(0);
    if (r != 1) return failed("the mouse refused the settings (" + std::to_string(r) + ")");
    return kExitDone;
}

int Runner::dpi(const Arguments& a) {
    if (a.positional.size() != 1) return usage("dpi needs one DEVICE");
    std::string error;
    int stage = -1, step = -1, active = -1;
    const auto has = [&](const char* n) { return a.options.count(n) > 0; };
    if (has("stage") != has("value")) return usage("--stage and --value go together");
    if (has("stage")) {
        stage = bounded(a.options.at("stage"), 1, kDpiStages, "--stage", error) - 1;
        if (stage < 0) return usage(error);
        const std::optional<int> v = parse_int(a.options.at("value"));
        if (!v || *v < device::kDpiMin || *v > device::kDpiMax ||
            device::dpi_from_step(device::step_from_dpi(*v)) != *v)
            return usage(
                "--value must be 100-12000 in steps of 100 or 12200-16000 in steps of "
                "200, not \"" +
                a.options.at("value") + "\"");
        step = device::step_from_dpi(*v);
    }
    if (has("active")) {
        active = bounded(a.options.at("active"), 1, kDpiStages, "--active", error) - 1;
        if (active < 0) return usage(error);
    }
    int code = kExitDone;
    const auto slot = device(a.positional[0], true, code);
    if (!slot) return code;

    if (stage < 0 && active < 0) {
        CMouseProfiledata profile;
        if (!open_profile(hid::kKindMouse, profile, error)) return failed(error);
        const std::vector<DpiStageRecord> stages = profile.read_dpi_stages();
        Json::Value v;
        v["active"] = profile.active_stage() + 1;
        v["stages"] = Json::Value(Json::arrayValue);
        for (size_t i = 0; i < stages.size() && i < device::kMaxDpiStages; ++i) {
            Json::Value s;
            s["stage"] = int(i) + 1;
            s["dpi"] = device::dpi_from_step(stages[i].dpi_x);
            s["enabled"] = stages[i].active != 0;
            v["stages"].append(s);
        }
        if (json_) {
            print_json(v);
        } else {
            for (const Json::Value& s : v["stages"])
                out_ << "stage " << s["stage"].asInt() << "\t" << s["dpi"].asInt() << " DPI"
                     << (s["enabled"].asBool() ? "" : "\t(off)")
                     << (s["stage"].asInt() == v["active"].asInt() ? "\t(active)" : "") << "\n";
        }
        return kExitDone;
    }

    MouseSession session(backend_);
    if (const int r = open_mouse(*slot, session); r != kExitDone) return r;
    device::MouseSettings& s = session.protocol.settings();
    if (stage >= 0) {
        // A stage the profile lacks is added, as the page adds it when its slider moves.
        if (size_t(stage) >= s.stages.size()) s.stages.resize(size_t(stage) + 1);
        s.stages[size_t(stage)].dpi_x = uint16_t(step);
        session.profile.write_dpi_stages(s.stages);
    }
    if (active >= 0) {
        s.active_stage = active;
        session.profile.set_active_stage(active);
    }
    return finish_mouse(session);
}

int Runner::rate(const Arguments& a) {
    if (a.positional.size() != 2 || !a.options.empty()) return usage("rate needs DEVICE and HZ");
    const std::optional<int> hz = parse_int(a.positional[1]);
    const auto it =
        hz ? std::find(kReportRatesHz.begin(), kReportRatesHz.end(), *hz) : kReportRatesHz.end();
    if (it == kReportRatesHz.end())
        return usage("HZ must be 125, 250, 500, 1000 or 2000, not \"" + a.positional[1] + "\"");
    int code = kExitDone;
    const auto slot = device(a.positional[0], true, code);
    if (!slot) return code;
    MouseSession session(backend_);
    if (const int r = open_mouse(*slot, session); r != kExitDone) return r;
    uint32_t& word = session.protocol.settings().system.word[2];
    word = (word & 0xFFFFu) | uint32_t(it - kReportRatesHz.begin()) << 16;
    session.profile.write_system_words(session.protocol.settings().system);
    return finish_mouse(session);
}

int Runner::lift(const Arguments& a) {
    if (a.positional.size() != 2 || !a.options.empty()) return usage("lift needs DEVICE and N");
    std::string error;
    const int n = bounded(a.positional[1], 1, kLiftSettings, "N", error);
    if (n < 0) return usage(error);
    int code = kExitDone;
    const auto slot = device(a.positional[0], true, code);
    if (!slot) return code;
    MouseSession session(backend_);
    if (const int r = open_mouse(*slot, session); r != kExitDone) return r;
    session.protocol.settings().system.word[3] = uint32_t(n - 1);
    session.profile.write_system_words(session.protocol.settings().system);
    return finish_mouse(session);
}

// The changes `light` asked for; unset fields keep the profile's value.
struct LightChange {
    std::optional<std::string> mode_text;
    std::optional<std::array<uint8_t, 3>> colour;
    std::optional<int> brightness, speed, fx;
};

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

// The mode number of `text` among the built-in modes of `kind`, -1 when there is none.
int resolve_mode(int kind, const std::string& text, int max_mode) {
    const std::vector<BuiltInLightName> names =
        read_built_in_light_names(read_json(default_light_names_file()), light_model_index(kind));
    const int count = std::min(int(names.size()), max_mode + 1);
    if (const std::optional<int> n = parse_int(text)) return *n >= 0 && *n < count ? *n : -1;
    for (int i = 0; i < count; ++i) {
        const std::string& name = names[size_t(i)].name;
        if (name == text || name == std::string(kModePrefix) + text) return i;
    }
    return -1;
}

std::string mode_names(int kind, int max_mode) {
    const std::vector<BuiltInLightName> names =
        read_built_in_light_names(read_json(default_light_names_file()), light_model_index(kind));
    std::string out;
    for (size_t i = 0; i < names.size() && int(i) <= max_mode; ++i) {
        std::string_view n = names[i].name;
        if (n.substr(0, kModePrefix.size()) == kModePrefix) n.remove_prefix(kModePrefix.size());
        out += (out.empty() ? "" : ", ") + std::string(n);
    }
    return out;
}

int Runner::light(const Arguments& a) {
    if (a.positional.size() != 1) return usage("light needs one DEVICE");
    if (a.options.empty()) return usage("light needs at least one of its options");
    LightChange change;
    std::string error;
    for (const auto& [name, value] : a.options) {
        if (name == "mode") {
            change.mode_text = value;
        } else if (name == "colour" || name == "color") {
            if (!(change.colour = parse_colour(value)))
                return usage("--colour must be six hex digits RRGGBB, not \"" + value + "\"");
        } else if (name == "brightness" || name == "speed") {
            const int v = bounded(value, 0, kLightLevelMax, ("--" + name).c_str(), error);
            if (v < 0) return usage(error);
            (name == "speed" ? change.speed : change.brightness) = v;
        } else if (name == "direction") {
            if (value != "left" && value != "right")
                return usage("--direction must be left or right, not \"" + value + "\"");
            change.fx = value == "left" ? 1 : 0;
        }
    }
    int code = kExitDone;
    const auto slot = device(a.positional[0], false, code);
    if (!slot) return code;
    const int kind = is_mouse(*slot) ? hid::kKindMouse : hid::kKindMousePad;
    // The pad shows modes above 8 as mode 0: they are not offered.
    const int max_mode = kind == hid::kKindMousePad ? device::kPadMaxMode : 255;
    int mode = -1;
    if (change.mode_text) {
        mode = resolve_mode(kind, *change.mode_text, max_mode);
        if (mode < 0)
            return usage("unknown light mode \"" + *change.mode_text + "\"; the " +
                         std::string(kind_name(kind)) + " has " + mode_names(kind, max_mode));
    }
    const auto changed = [&](const LightSettings& old) {
        const std::array<uint8_t, 3> rgb =
            change.colour.value_or(std::array<uint8_t, 3>{old.red(), old.green(), old.blue()});
        return LightSettings::make(
            mode >= 0 ? uint8_t(mode) : old.select_item(),
            uint8_t(change.brightness.value_or(old.light())),
            uint8_t(change.speed.value_or(old.speed())), uint8_t(change.fx.value_or(old.fx())),
            change.colour ? 0 : old.multi_color(), rgb[0], rgb[1], rgb[2], old.led_mode());
    };

    if (kind == hid::kKindMouse) {
        MouseSession session(backend_);
        if (const int r = open_mouse(*slot, session); r != kExitDone) return r;
        session.profile.write_light_settings(changed(session.profile.read_light_settings()));
        session.protocol.apply_light_settings(session.profile);
        return finish_mouse(session);
    }
    CBasicProfiledata profile;
    if (!open_profile(kind, profile, error)) return failed(error);
    hid::CCommandChannel channel(backend_);
    if (!channel.Connect(slot->path)) return failed("cannot open " + slot->path);
    device::PadProtocol pad(channel);
    int r = pad.connect_device();
    // The block keeps bytes the program does not set: they come from the pad.
    if (r == 1) r = pad.read_settings_block();
    if (r != 1) return failed("the mouse pad did not answer (" + std::to_string(r) + ")");
    profile.write_light_settings(changed(profile.read_light_settings()));
    const std::vector<LedZoneRecord> zones = profile.read_led_zones();
    const std::vector<LightEffectStep> steps = profile.read_light_effects();
    pad.apply_light_settings(profile.light_settings(), zones, steps);
    if (!profile.save_profile()) return failed("cannot save " + profile.profile_path());
    r = pad.write_settings(0);
    if (r != 1) return failed("the mouse pad refused the settings (" + std::to_string(r) + ")");
    return kExitDone;
}

}  // namespace

bool wants_emulation(const std::vector<std::string>& args) {
    for (const std::string& a : args) {
        if (a == "--emulate") return true;
        if (a.empty() || a[0] != '-') return false;
    }
    return false;
}

int run(const std::vector<std::string>& args, hid::HidBackend& backend, std::ostream& out,
        std::ostream& err) {
    bool json = false;
    size_t i = 0;
    for (; i < args.size() && !args[i].empty() && args[i][0] == '-'; ++i) {
        if (args[i] == "--emulate") continue;
        if (args[i] == "--json") {
            json = true;
        } else if (args[i] == "--help" || args[i] == "-h") {
            out << kUsage;
            return kExitDone;
        } else {
            err << "tellunectl: unknown option " << args[i] << "\n" << kUsage;
            return kExitUsage;
        }
    }
    if (i == args.size()) {
        err << kUsage;
        return kExitUsage;
    }
    const std::string& command = args[i];
    const auto help = kCommandHelp.find(command);
    if (help == kCommandHelp.end()) {
        err << "tellunectl: unknown command " << command << "\n" << kUsage;
        return kExitUsage;
    }
    std::string error;
    std::optional<Arguments> a;
    if (command == "dpi")
        a = split_arguments(args, i + 1, {"stage", "value", "active"}, error);
    else if (command == "light")
        a = split_arguments(args, i + 1,
                            {"mode", "colour", "color", "brightness", "speed", "direction"}, error);
    else
        a = split_arguments(args, i + 1, {}, error);
    if (!a) {
        err << "tellunectl: " << error << "\n";
        return kExitUsage;
    }
    if (a->help) {
        out << help->second;
        return kExitDone;
    }
    Runner runner(backend, out, err, json);
    if (command == "list") {
        if (!a->positional.empty()) {
            err << "tellunectl: list takes no arguments\n";
            return kExitUsage;
        }
        return runner.list();
    }
    if (command == "dpi") return runner.dpi(*a);
    if (command == "rate") return runner.rate(*a);
    if (command == "lift") return runner.lift(*a);
    return runner.light(*a);
}

}  // namespace tellune::cli

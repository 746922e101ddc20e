#include "cli/commands.h"

#include <json/json.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string_view>

#include "core/device/device_listing.h"
#include "core/device/dpi_steps.h"
#include "core/device/key_text.h"
#include "core/device/keyboard_protocol.h"
#include "core/device/mouse_protocol.h"
#include "core/device/pad_protocol.h"
#include "core/device/setting_request.h"
#include "core/hid/command_channel.h"
#include "core/hid/device_slots.h"
#include "core/macro/macro_library.h"
#include "core/platform/platform.h"
#include "core/profile/device_folders.h"
#include "core/profile/json_file.h"
#include "core/profile/light_presets.h"
#include "core/profile/profile_commands.h"
#include "core/profile/profile_data.h"
#include "core/profile/profile_list.h"

namespace tellune::cli {
namespace {

using device::kLiftSettings;
using device::kLightLevelMax;
using device::kReportRatesHz;
using device::SettingRequest;
constexpr int kDpiStages = int(device::kMaxDpiStages);
constexpr std::string_view kModePrefix = "light_mode_";
// Where the emulated devices live among the interface paths.
constexpr char kEmulatedPrefix[] = "emu/";

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
    "  profile ACTION DEVICE ... the device's profiles: list, show, apply, export, import\n"
    "  keymap DEVICE [...]       what the buttons of a mouse or the keys of a keyboard do\n"
    "  macro ACTION DEVICE ...   the device's macros: list, export, import\n"
    "DEVICE is a kind (mouse, pad, keyboard, headset) or a node as `list` shows it.\n"
    "COMMAND --help tells more. Exit codes: 0 done, 1 failed on the device, 2 bad usage,\n"
    "3 no such device.\n";

const std::map<std::string_view, std::string_view> kCommandHelp = {
    {"list",
     "Usage: tellunectl list\n"
     "Lists the connected devices: kind, node, vendor:product, HID (firmware) version,\n"
     "battery where the device reports one, path.\n"},
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
    {"profile",
     "Usage: tellunectl profile list DEVICE\n"
     "       tellunectl profile show DEVICE [NAME|N]\n"
     "       tellunectl profile apply DEVICE NAME|N\n"
     "       tellunectl profile export DEVICE FILE\n"
     "       tellunectl profile import DEVICE FILE\n"
     "  list     the device's profiles, the selected one marked with *\n"
     "  show     a profile as stored (the selected one by default)\n"
     "  apply    selects the profile and writes it to the device\n"
     "  export   writes the selected profile to FILE\n"
     "  import   adds the profile in FILE; a name in use gets a number added\n"},
    {"keymap",
     "Usage: tellunectl keymap DEVICE\n"
     "       tellunectl keymap DEVICE KEY FUNCTION\n"
     "DEVICE is a mouse or a keyboard. Without KEY its keys are listed with what they do.\n"
     "A mouse's KEY is a button by number (1-11) or name: left, right, middle, side1, side2,\n"
     "dpi-up, dpi-down, fire, button9-11. A keyboard's KEY is a key by its number or its name\n"
     "as the listing shows them (esc, f1, a, digit-1, lctrl, numpad-1, page-up, ...); only\n"
     "the keys the keyboard has are listed, and Fn stays Fn.\n"
     "FUNCTION is one of:\n"
     "  default | disabled | fixed\n"
     "  key:[MOD+...]KEY      e.g. key:ctrl+c, key:alt+f4, key:page-down; MOD is ctrl, shift,\n"
     "                        alt, win or rctrl, rshift, ralt, rwin\n"
     "  mouse:left|middle|right|forward|back\n"
     "  dpi:up|down|cycle                             mouse only\n"
     "  media:NAME            e.g. media:volume-up, media:play-pause, media:mute\n"
     "  system:power|sleep|wakeup\n"
     "  swing:count=N,delay=D,speed=S,direction=0|1   (count 0-127, delay and speed 0-15)\n"
     "  wheel:count=N,delay=D,speed=S,direction=0|1\n"
     "  fire:interval=N,count=N                       (0-255 each)\n"
     "  macro:NAME[,mode=1-4|,repeat=N]               a macro of `macro list`\n"
     "  recoil:1-4                                    mouse only\n"
     "The listing shows a function no text stands for as code:TTPPQQ (hex); such a key can\n"
     "be given any of the functions above, or its own again with `default`.\n"},
    {"macro",
     "Usage: tellunectl macro list DEVICE\n"
     "       tellunectl macro export DEVICE NAME|N FILE\n"
     "       tellunectl macro import DEVICE FILE\n"
     "DEVICE is a mouse or a keyboard; each has a macro library of its own.\n"
     "  list     the device's macros in library order (the order keys refer to)\n"
     "  export   copies the macro's file to FILE\n"
     "  import   adds the macro in FILE (at most 50); the device gets its macros again\n"},
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

// The configuration interfaces of the connected devices, in slot order.
std::vector<hid::DeviceSlot> connected_devices(hid::HidBackend& backend) {
    hid::DeviceScanner scanner(backend, {});
    scanner.ScanOnce();
    std::vector<hid::DeviceSlot> out;
    for (const hid::DeviceSlot& s : scanner.Slots())
        if (s.present && s.role == hid::kRoleConfiguration && !s.path.empty()) out.push_back(s);
    return out;
}

bool is_mouse_kind(int kind) {
    return kind == hid::kKindMouse || kind == hid::kKindWirelessMouse;
}

std::string kind_text(int kind) {
    return std::string(device::device_kind_name(kind));
}

// A device a command acts on: from our own scan (`slot`) or from the running program's list.
struct Target {
    int kind = -1;
    std::string path;
    std::optional<hid::DeviceSlot> slot;
};

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

// A device opened by tellunectl itself: the profile the window would show, the channel and
// the protocol on it, destroyed in that order backwards.
template <class Protocol, class Profile>
struct Opened {
    explicit Opened(hid::HidBackend& backend) : channel(backend), protocol(channel) {}
    Profile profile;
    hid::CCommandChannel channel;
    Protocol protocol;
};

int connect_result(const device::ConnectResult& r) {
    return r.result;
}
int connect_result(int r) {
    return r;
}

// Whether the key list may change key `key` of the connected device.
bool key_assignable(const device::MouseProtocol&, int) {
    return true;  // every button of the list
}
bool key_assignable(const device::KeyboardProtocol& keyboard, int key) {
    return device::keyboard_key_assignable(keyboard.key_slot_map(), key);
}

int kind_of(const device::MouseProtocol&) {
    return hid::kKindMouse;
}
int kind_of(const device::KeyboardProtocol&) {
    return hid::kKindKeyboard;
}

// The device's macro library, which its keys refer to by position.
std::string macro_folder(int kind) {
    return user_data_folder(device_folder_name(kind));
}

std::vector<std::string> macro_names(int kind) {
    return macro::read_library_names(
        (std::filesystem::path(macro_folder(kind)) / macro::kLibraryFileName).string());
}

class Runner {
public:
    Runner(hid::HidBackend& backend, std::ostream& out, std::ostream& err, bool json, bool emulate,
           Remote* remote)
        : backend_(backend),
          out_(out),
          err_(err),
          json_(json),
          emulate_(emulate),
          remote_(remote) {}

    int list();
    int dpi(const Arguments& a);
    int rate(const Arguments& a);
    int lift(const Arguments& a);
    int light(const Arguments& a);
    int profile(const Arguments& a);
    int keymap(const Arguments& a);
    int macro(const Arguments& a);

private:
    int usage(const std::string& message) {
        err_ << "tellunectl: " << message << "\n";
        return kExitUsage;
    }
    int failed(const std::string& message) {
        err_ << "tellunectl: " << message << "\n";
        return kExitDeviceFailed;
    }
    // The running program's device list, asked once; null when no program runs, or when it
    // runs on the other kind of devices (emulated or real) than this command asks for.
    const Json::Value* program_devices() {
        if (!asked_) {
            asked_ = true;
            if (remote_) program_devices_ = remote_->devices();
            if (program_devices_ && !program_devices_->empty()) {
                const Json::Value& first = (*program_devices_)[0];
                const bool emulated = first["path"].isString() &&
                                      first["path"].asString().rfind(kEmulatedPrefix, 0) == 0;
                if (emulated != emulate_) program_devices_.reset();
            }
        }
        return program_devices_ ? &*program_devices_ : nullptr;
    }
    Json::Value scanned_devices();
    // The device named by `name`; prints why not and sets `code` when there is none.
    std::optional<Target> device(std::string_view name, int& code);
    // A checked request to the device: through the program when it runs, else directly.
    int send(const Target& target, const SettingRequest& request);
    // Without a request the device takes its profile as stored (a profile just selected).
    int send_mouse(const Target& target, const SettingRequest* request);
    int send_pad_light(const Target& target, const SettingRequest* request);
    template <class Protocol, class Profile>
    int send_keys(const Target& target, const SettingRequest& request);
    // The device gets the macro library in `folder` again.
    template <class Protocol, class Profile>
    int send_macros(const Target& target, const std::string& folder);
    // Opens and connects the device as its page does; with `profile`, the profile the window
    // shows is loaded and taken first. Prints why not and returns the exit code.
    template <class Protocol, class Profile>
    int open(const Target& target, Opened<Protocol, Profile>& d, bool profile);
    // The target of a keymap or macro command, which must be a mouse or a keyboard; prints
    // why not.
    std::optional<Target> keyed_target(const std::string& name, int& code);
    // The keys of the keyboard whose function may be changed, by key index; nullopt (printed
    // why, `code` set) when the keyboard or the program does not tell.
    std::optional<std::vector<bool>> assignable_keys(const Target& target, int& code);
    void print_json(const Json::Value& value) {
        Json::StreamWriterBuilder builder;
        builder["indentation"] = "  ";
        out_ << Json::writeString(builder, value) << "\n";
    }

    hid::HidBackend& backend_;
    std::ostream& out_;
    std::ostream& err_;
    bool json_;
    bool emulate_;
    Remote* remote_;
    bool asked_ = false;
    std::optional<Json::Value> program_devices_;
};

Json::Value Runner::scanned_devices() {
    Json::Value devices(Json::arrayValue);
    for (const hid::DeviceSlot& s : connected_devices(backend_)) {
        hid::CHidDevice hid(backend_);
        std::optional<int> version;
        uint16_t vendor = s.vendor_id, product = s.product_id;
        // The device's own ids: rows of the match table may leave them open.
        if (hid.Open(s.path, false, false, false, false)) {
            version = hid.Attributes().version;
            vendor = hid.Attributes().vendor_id;
            product = hid.Attributes().product_id;
        }
        Json::Value d = device::describe_device(s.kind, s.path, vendor, product, version);
        if (device::reports_power(s.kind)) {
            // A read of the status bytes: nothing on the device changes.
            hid::CCommandChannel channel(backend_);
            std::array<uint8_t, device::kPowerStatusSize> status{};
            if (channel.Connect(s.path) && channel.ReadRange(status, 0) == 1)
                device::add_power(d, status);
        }
        devices.append(d);
    }
    return devices;
}

std::optional<Target> Runner::device(std::string_view name, int& code) {
    if (const Json::Value* listed = program_devices()) {
        const Json::Value* d = device::find_described(*listed, name);
        if (d && (*d)["path"].isString() && (*d)["kind"].isString()) {
            Target t;
            t.kind = device::device_kind_from_name((*d)["kind"].asString());
            t.path = (*d)["path"].asString();
            return t;
        }
    } else {
        if (name == "mousepad") name = "pad";
        for (const hid::DeviceSlot& s : connected_devices(backend_)) {
            if (device::device_kind_name(s.kind) == name || device::node_of(s.path) == name ||
                s.path == name) {
                Target t;
                t.kind = s.kind == hid::kKindWirelessMouse ? int(hid::kKindMouse) : s.kind;
                t.path = s.path;
                t.slot = s;
                return t;
            }
        }
    }
    err_ << "tellunectl: no such device: " << name << "\n";
    code = kExitNoDevice;
    return std::nullopt;
}

int Runner::list() {
    const Json::Value* listed = program_devices();
    const Json::Value devices = listed ? *listed : scanned_devices();
    if (json_) {
        print_json(devices);
        return kExitDone;
    }
    for (const Json::Value& d : devices) {
        char version[16] = "-";
        if (d["hid_version"].isInt())
            std::snprintf(version, sizeof version, "%04x", d["hid_version"].asUInt());
        const std::string battery =
            d["battery"].isInt() ? std::to_string(d["battery"].asInt()) + "%" : "-";
        out_ << d["kind"].asString() << "\t" << d["node"].asString() << "\t" << d["id"].asString()
             << "\tHID " << version << "\tbattery " << battery << "\t" << d["path"].asString()
             << "\n";
    }
    return kExitDone;
}

int Runner::send(const Target& target, const SettingRequest& request) {
    if (const std::string why = device::check_request(request, target.kind); !why.empty())
        return usage("the " + kind_text(target.kind) + ": " + why);
    if (program_devices()) {
        Json::StreamWriterBuilder builder;
        builder["indentation"] = "";
        const Remote::Reply reply = remote_->apply(
            target.path, Json::writeString(builder, device::request_to_json(request)));
        if (reply.code != kExitDone) err_ << "tellunectl: " << reply.text << "\n";
        return reply.code;
    }
    if (is_mouse_kind(target.kind)) return send_mouse(target, &request);
    return send_pad_light(target, &request);
}

template <class Protocol, class Profile>
int Runner::open(const Target& target, Opened<Protocol, Profile>& d, bool profile) {
    const int kind = kind_of(d.protocol);
    std::string error;
    if (profile && !open_profile(kind, d.profile, error)) return failed(error);
    if (!d.channel.Connect(target.path)) return failed("cannot open " + target.path);
    d.channel.SetWireless(target.slot && target.slot->kind == hid::kKindWirelessMouse);
    const int r = connect_result(d.protocol.connect_device());
    if (r != 1)
        return failed("the " + kind_text(kind) + " did not answer (" + std::to_string(r) + ")");
    if (profile) d.protocol.take_profile(d.profile);
    return kExitDone;
}

// As the page does after each change: the profile is saved, then the settings are written.
int Runner::send_mouse(const Target& target, const SettingRequest* request) {
    Opened<device::MouseProtocol, CMouseProfiledata> d(backend_);
    if (const int code = open(target, d, true); code != kExitDone) return code;
    device::MouseProtocol& protocol = d.protocol;
    CMouseProfiledata& profile = d.profile;
    if (request && request->what == SettingRequest::What::light)
        profile.write_light_settings(
            device::changed_light(request->light, profile.read_light_settings()));
    else if (request)
        device::apply_to_mouse(*request, protocol.settings(), profile);
    protocol.apply_light_settings(profile);
    if (request && !profile.save_profile()) return failed("cannot save " + profile.profile_path());
    const int r = protocol.write_settings(0);
    if (r != 1) return failed("the mouse refused the settings (" + std::to_string(r) + ")");
    // A profile taken whole brings its macros along, as in the window.
    if (!request && protocol.write_macros(macro_folder(hid::kKindMouse)) != 0)
        return failed("the mouse did not take the profile's macros");
    return kExitDone;
}

int Runner::send_pad_light(const Target& target, const SettingRequest* request) {
    std::string error;
    CBasicProfiledata profile;
    if (!open_profile(hid::kKindMousePad, profile, error)) return failed(error);
    hid::CCommandChannel channel(backend_);
    if (!channel.Connect(target.path)) return failed("cannot open " + target.path);
    device::PadProtocol pad(channel);
    int r = pad.connect_device();
    // The block keeps bytes the program does not set: they come from the pad.
    if (r == 1) r = pad.read_settings_block();
    if (r != 1) return failed("the mouse pad did not answer (" + std::to_string(r) + ")");
    if (request)
        profile.write_light_settings(
            device::changed_light(request->light, profile.read_light_settings()));
    else
        profile.read_light_settings();
    const std::vector<LedZoneRecord> zones = profile.read_led_zones();
    const std::vector<LightEffectStep> steps = profile.read_light_effects();
    pad.apply_light_settings(profile.light_settings(), zones, steps);
    if (request && !profile.save_profile()) return failed("cannot save " + profile.profile_path());
    r = pad.write_settings(0);
    if (r != 1) return failed("the mouse pad refused the settings (" + std::to_string(r) + ")");
    return kExitDone;
}

int Runner::dpi(const Arguments& a) {
    if (a.positional.size() != 1) return usage("dpi needs one DEVICE");
    std::string error;
    SettingRequest request;
    request.what = SettingRequest::What::dpi;
    const auto has = [&](const char* n) { return a.options.count(n) > 0; };
    if (has("stage") != has("value")) return usage("--stage and --value go together");
    if (has("stage")) {
        request.stage = bounded(a.options.at("stage"), 1, kDpiStages, "--stage", error) - 1;
        if (request.stage < 0) return usage(error);
        const std::optional<int> v = parse_int(a.options.at("value"));
        if (!v || *v < device::kDpiMin || *v > device::kDpiMax ||
            device::dpi_from_step(device::step_from_dpi(*v)) != *v)
            return usage(
                "--value must be 100-12000 in steps of 100 or 12200-16000 in steps of "
                "200, not \"" +
                a.options.at("value") + "\"");
        request.step = device::step_from_dpi(*v);
    }
    if (has("active")) {
        request.active = bounded(a.options.at("active"), 1, kDpiStages, "--active", error) - 1;
        if (request.active < 0) return usage(error);
    }
    int code = kExitDone;
    const auto target = device(a.positional[0], code);
    if (!target) return code;
    if (!is_mouse_kind(target->kind))
        return usage(a.positional[0] + " is a " + kind_text(target->kind) +
                     "; this command is for a mouse");
    if (request.stage >= 0 || request.active >= 0) return send(*target, request);

    // The stages as the profile the window shows holds them; reading changes nothing.
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

int Runner::rate(const Arguments& a) {
    if (a.positional.size() != 2 || !a.options.empty()) return usage("rate needs DEVICE and HZ");
    const std::optional<int> hz = parse_int(a.positional[1]);
    const auto it =
        hz ? std::find(kReportRatesHz.begin(), kReportRatesHz.end(), *hz) : kReportRatesHz.end();
    if (it == kReportRatesHz.end())
        return usage("HZ must be 125, 250, 500, 1000 or 2000, not \"" + a.positional[1] + "\"");
    SettingRequest request;
    request.what = SettingRequest::What::rate;
    request.rate_index = int(it - kReportRatesHz.begin());
    int code = kExitDone;
    const auto target = device(a.positional[0], code);
    if (!target) return code;
    return send(*target, request);
}

int Runner::lift(const Arguments& a) {
    if (a.positional.size() != 2 || !a.options.empty()) return usage("lift needs DEVICE and N");
    std::string error;
    const int n = bounded(a.positional[1], 1, kLiftSettings, "N", error);
    if (n < 0) return usage(error);
    SettingRequest request;
    request.what = SettingRequest::What::lift;
    request.lift = n - 1;
    int code = kExitDone;
    const auto target = device(a.positional[0], code);
    if (!target) return code;
    return send(*target, request);
}

int Runner::light(const Arguments& a) {
    if (a.positional.size() != 1) return usage("light needs one DEVICE");
    if (a.options.empty()) return usage("light needs at least one of its options");
    SettingRequest request;
    request.what = SettingRequest::What::light;
    device::LightChange& change = request.light;
    std::optional<std::string> mode_text;
    std::string error;
    for (const auto& [name, value] : a.options) {
        if (name == "mode") {
            mode_text = value;
        } else if (name == "colour" || name == "color") {
            if (!(change.colour = device::parse_colour(value)))
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
    const auto target = device(a.positional[0], code);
    if (!target) return code;
    const int kind = target->kind;
    if (!is_mouse_kind(kind) && kind != hid::kKindMousePad)
        return usage(a.positional[0] + " is a " + kind_text(kind) +
                     "; this command is for a mouse or a mouse pad");
    if (mode_text) {
        const int max_mode = device::max_light_mode(kind);
        const int mode = resolve_mode(kind, *mode_text, max_mode);
        if (mode < 0)
            return usage("unknown light mode \"" + *mode_text + "\"; the " + kind_text(kind) +
                         " has " + mode_names(kind, max_mode));
        change.mode = mode;
    }
    return send(*target, request);
}

int Runner::profile(const Arguments& a) {
    static const std::array<std::string_view, 5> kActions = {"list", "show", "apply", "export",
                                                             "import"};
    if (a.positional.size() < 2) return usage("profile needs an action and a DEVICE");
    const std::string& action = a.positional[0];
    if (std::find(kActions.begin(), kActions.end(), action) == kActions.end())
        return usage("unknown profile action " + action);
    std::vector<std::string> command{action};
    command.insert(command.end(), a.positional.begin() + 2, a.positional.end());
    // The program runs elsewhere: files are named from where the command was given.
    if ((action == "export" || action == "import") && command.size() == 2) {
        std::error_code ec;
        const std::filesystem::path absolute = std::filesystem::absolute(command[1], ec);
        if (!ec) command[1] = absolute.string();
    }
    int code = kExitDone;
    const auto target = device(a.positional[1], code);
    if (!target) return code;
    if (program_devices()) {
        if (json_) command.insert(command.begin(), "--json");
        const Remote::Reply reply = remote_->profile(target->path, command);
        (reply.code == kExitDone ? out_ : err_)
            << (reply.code == kExitDone ? "" : "tellunectl: ") << reply.text;
        return reply.code;
    }
    const bool mouse = is_mouse_kind(target->kind);
    if (action == "apply" && !mouse && target->kind != hid::kKindMousePad)
        return usage("the " + kind_text(target->kind) +
                     " takes a profile from the window only; start tellune");
    const std::string folder = user_data_folder(device_folder_name(target->kind));
    ProfileList list;
    list.set_kind(target->kind);
    list.set_paths(folder, default_profile_file(target->kind));
    if (!list.init()) return failed("the profile list in " + folder + " cannot be read or written");
    const ProfileCommandResult r = run_profile_command(list, command, json_);
    out_ << r.output;
    if (!r.error.empty()) err_ << "tellunectl: " << r.error << "\n";
    if (r.code != 0 || !r.apply) return r.code;
    return mouse ? send_mouse(*target, nullptr) : send_pad_light(*target, nullptr);
}

// Macro names are unique without regard to letter case.
bool same_name(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::optional<Target> Runner::keyed_target(const std::string& name, int& code) {
    std::optional<Target> target = device(name, code);
    if (target && !is_mouse_kind(target->kind) && target->kind != hid::kKindKeyboard) {
        code = usage(name + " is a " + kind_text(target->kind) +
                     "; this command is for a mouse or a keyboard");
        return std::nullopt;
    }
    return target;
}

// As the key panel's save: the key list into the profile, the keys to the device, the profile
// saved.
template <class Protocol, class Profile>
int Runner::send_keys(const Target& target, const SettingRequest& request) {
    Opened<Protocol, Profile> d(backend_);
    if (const int code = open(target, d, true); code != kExitDone) return code;
    const int kind = kind_of(d.protocol);
    // Known only now: which keys this very board has. Reading them changed nothing.
    if (!key_assignable(d.protocol, request.key))
        return usage("the " + kind_text(kind) + " has no key " + std::to_string(request.key + 1) +
                     " that can be assigned");
    std::vector<KeyAssignmentRecord> keys = d.protocol.settings().keys;
    if (const std::string why = device::apply_keymap(request, keys, macro_names(kind).size());
        !why.empty())
        return usage(why);
    d.protocol.settings().keys = keys;
    d.profile.write_key_assignments(keys);
    if (!d.profile.save_profile()) return failed("cannot save " + d.profile.profile_path());
    const int r = d.protocol.write_current_keys(0);
    if (r != 1)
        return failed("the " + kind_text(kind) + " refused the keys (" + std::to_string(r) + ")");
    return kExitDone;
}

std::optional<std::vector<bool>> Runner::assignable_keys(const Target& target, int& code) {
    std::vector<bool> keys(device::kKeyboardKeys, false);
    if (program_devices()) {
        const Remote::Reply reply = remote_->keys(target.path);
        const Json::Value list = parse_json(reply.text);
        if (reply.code != kExitDone || !list.isArray()) {
            err_ << "tellunectl: " << reply.text << "\n";
            code = reply.code == kExitDone ? int(kExitDeviceFailed) : reply.code;
            return std::nullopt;
        }
        for (const Json::Value& k : list)
            if (k.isInt() && k.asInt() >= 0 && k.asInt() < int(keys.size()))
                keys[size_t(k.asInt())] = true;
        return keys;
    }
    Opened<device::KeyboardProtocol, CKeyboardProfiledata> d(backend_);
    if ((code = open(target, d, false)) != kExitDone) return std::nullopt;
    for (size_t k = 0; k < keys.size(); ++k) keys[k] = key_assignable(d.protocol, int(k));
    return keys;
}

int Runner::keymap(const Arguments& a) {
    if (!a.options.empty() || (a.positional.size() != 1 && a.positional.size() != 3))
        return usage("keymap needs DEVICE, or DEVICE KEY FUNCTION");
    int code = kExitDone;
    const auto target = keyed_target(a.positional[0], code);
    if (!target) return code;
    const int kind = target->kind;
    const bool keyboard = kind == hid::kKindKeyboard;
    const std::vector<std::string> macros = macro_names(kind);
    if (a.positional.size() == 3) {
        SettingRequest request;
        request.what = SettingRequest::What::keymap;
        request.key = keyboard ? device::keyboard_key_index(a.positional[1])
                               : device::mouse_button_index(a.positional[1]);
        if (request.key < 0)
            return usage(keyboard ? "no key \"" + a.positional[1] +
                                        "\"; `keymap keyboard` lists the keys"
                                  : "no button \"" + a.positional[1] +
                                        "\"; give 1-11 or a name as `keymap --help` lists them");
        std::string error;
        const auto parsed = device::parse_key_function(
            a.positional[2], keyboard ? device::kDeviceModeKeyboard : device::kDeviceModeMouse,
            macros, &error);
        if (!parsed) return usage(error);
        request.use_default = parsed->use_default;
        request.code = parsed->code;
        if (const std::string why = device::check_request(request, kind); !why.empty())
            return usage("the " + kind_text(kind) + ": " + why);
        if (program_devices()) {
            Json::StreamWriterBuilder builder;
            builder["indentation"] = "";
            const Remote::Reply reply = remote_->apply(
                target->path, Json::writeString(builder, device::request_to_json(request)));
            if (reply.code != kExitDone) err_ << "tellunectl: " << reply.text << "\n";
            return reply.code;
        }
        return keyboard
                   ? send_keys<device::KeyboardProtocol, CKeyboardProfiledata>(*target, request)
                   : send_keys<device::MouseProtocol, CMouseProfiledata>(*target, request);
    }

    // The keys as the profile the window shows holds them; reading changes nothing. Of the
    // keyboard only the keys this board has, Fn aside.
    std::optional<std::vector<bool>> assignable;
    if (keyboard && !(assignable = assignable_keys(*target, code))) return code;
    std::string error;
    std::unique_ptr<CBasicProfiledata> profile;
    if (keyboard)
        profile = std::make_unique<CKeyboardProfiledata>();
    else
        profile = std::make_unique<CMouseProfiledata>();
    if (!open_profile(kind, *profile, error)) return failed(error);
    const std::vector<KeyAssignmentRecord> keys = profile->read_key_assignments();
    const size_t count = keyboard ? device::kKeyboardKeys : size_t(device::kMouseButtonNames);
    Json::Value list(Json::arrayValue);
    for (size_t i = 0; i < keys.size() && i < count; ++i) {
        if (assignable && !(*assignable)[i]) continue;
        const device::KeyFunction f = device::current_function(keys[i]);
        const device::KeyFunction d = device::default_function(keys[i]);
        Json::Value b;
        b[keyboard ? "key" : "button"] = int(i) + 1;
        b["name"] = keyboard ? device::keyboard_key_name(int(i))
                             : std::string(device::mouse_button_name(int(i)));
        b["function"] = device::key_function_text({f.type, f.param1, f.param2}, macros);
        b["default"] = f.same_code(d);
        list.append(b);
    }
    if (json_) {
        print_json(list);
        return kExitDone;
    }
    for (const Json::Value& b : list) {
        const std::string name = b["name"].asString();
        out_ << b[keyboard ? "key" : "button"].asInt() << "\t" << (name.empty() ? "-" : name)
             << "\t" << b["function"].asString() << (b["default"].asBool() ? "\t(default)" : "")
             << "\n";
    }
    return kExitDone;
}

int Runner::macro(const Arguments& a) {
    if (!a.options.empty() || a.positional.size() < 2)
        return usage("macro needs an action and a DEVICE");
    const std::string& action = a.positional[0];
    const size_t wanted = action == "list"     ? 2
                          : action == "export" ? 4
                          : action == "import" ? 3
                                               : 0;
    if (wanted == 0) return usage("unknown macro action " + action);
    if (a.positional.size() != wanted)
        return usage(action == "list"     ? "macro list needs DEVICE"
                     : action == "export" ? "macro export needs DEVICE, NAME|N and FILE"
                                          : "macro import needs DEVICE and FILE");
    int code = kExitDone;
    const auto target = keyed_target(a.positional[1], code);
    if (!target) return code;
    const std::string folder = macro_folder(target->kind);
    macro::MacroLibrary library(folder);
    library.load();

    if (action == "list") {
        Json::Value list(Json::arrayValue);
        for (int i = 0; i < library.size(); ++i) {
            Json::Value m;
            m["index"] = i + 1;
            m["name"] = library.entry(i).name;
            list.append(m);
        }
        if (json_) {
            print_json(list);
        } else {
            for (const Json::Value& m : list)
                out_ << m["index"].asInt() << "\t" << m["name"].asString() << "\n";
        }
        return kExitDone;
    }

    if (action == "export") {
        const std::string& wanted_name = a.positional[2];
        int index = -1;
        for (int i = 0; i < library.size() && index < 0; ++i)
            if (library.entry(i).name == wanted_name) index = i;
        for (int i = 0; i < library.size() && index < 0; ++i)
            if (same_name(library.entry(i).name, wanted_name)) index = i;
        if (index < 0)
            if (const std::optional<int> n = parse_int(wanted_name);
                n && *n >= 1 && *n <= library.size())
                index = *n - 1;
        if (index < 0) return usage("no macro \"" + wanted_name + "\"; `macro list` shows them");
        library.select(index);
        if (library.macro_file(index).empty())
            return failed("macro \"" + library.entry(index).name + "\" has no file to export");
        if (!library.export_selected(a.positional[3]))
            return failed("cannot write " + a.positional[3]);
        return kExitDone;
    }

    // import: the file is named from where the command was given, the program runs elsewhere.
    std::error_code ec;
    std::string file = std::filesystem::absolute(a.positional[2], ec).string();
    if (ec) file = a.positional[2];
    if (!std::filesystem::is_regular_file(file, ec))
        return usage("no macro file " + a.positional[2]);
    if (program_devices()) {
        const Remote::Reply reply = remote_->macro(target->path, {"import", file});
        (reply.code == kExitDone ? out_ : err_)
            << (reply.code == kExitDone ? "" : "tellunectl: ") << reply.text;
        return reply.code;
    }
    std::string name;
    using R = macro::MacroLibrary::ImportResult;
    switch (library.import_file(file, &name)) {
        case R::kImported:
            break;
        case R::kFull:
            return usage("the library holds " + std::to_string(macro::kMaxMacros) +
                         " macros already; nothing imported");
        case R::kTooLarge:
            return usage(a.positional[2] + " is too large for a macro file");
        case R::kUnreadable:
        case R::kNoPath:
            return usage(a.positional[2] + " is no macro file");
        case R::kWriteFailed:
            return failed("the macro library could not be written");
    }
    out_ << name << "\n";
    // As the window does after an import: the device gets the library's macros again.
    return target->kind == hid::kKindKeyboard
               ? send_macros<device::KeyboardProtocol, CKeyboardProfiledata>(*target, folder)
               : send_macros<device::MouseProtocol, CMouseProfiledata>(*target, folder);
}

template <class Protocol, class Profile>
int Runner::send_macros(const Target& target, const std::string& folder) {
    Opened<Protocol, Profile> d(backend_);
    if (const int code = open(target, d, false); code != kExitDone) return code;
    if (d.protocol.write_macros(folder) != 0)
        return failed("the " + kind_text(kind_of(d.protocol)) + " did not take the macros");
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
        std::ostream& err, Remote* remote) {
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
    Runner runner(backend, out, err, json, wants_emulation(args), remote);
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
    if (command == "profile") return runner.profile(*a);
    if (command == "keymap") return runner.keymap(*a);
    if (command == "macro") return runner.macro(*a);
    return runner.light(*a);
}

}  // namespace tellune::cli

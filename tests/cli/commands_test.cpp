// tellunectl against the emulated devices, in-process: what reaches the device, what lands in
// the profile files, and that refused input changes nothing at all.
#include "cli/commands.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/device/factory_codes.h"
#include "core/hid/command_channel.h"
#include "core/macro/macro_library.h"
#include "emulator/emulated_backend.h"
#include "emulator/products.h"
#include "test_support/temp_dir.h"

namespace tellune::cli {
namespace {

using emulator::Direction;
using emulator::EmulatedDevice;

struct Result {
    int code = -1;
    std::string out;
    std::string err;
};

class CliTest : public ::testing::Test {
protected:
    CliTest()
        : home_("HOME", tmp_.path().string()),
          data_("XDG_DATA_HOME", tmp_.file("data")),
          config_("XDG_CONFIG_HOME", tmp_.file("config")) {
        mouse_ = emulator::make_mouse();
        pad_ = emulator::make_mouse_pad();
        keyboard_ = emulator::make_keyboard();
        backend_.plug(mouse_);
        backend_.plug(keyboard_);
        backend_.plug(pad_);
        backend_.plug(emulator::make_headset());
    }

    Result run(std::vector<std::string> args) {
        std::ostringstream out, err;
        Result r;
        r.code = cli::run(args, backend_, out, err);
        r.out = out.str();
        r.err = err.str();
        return r;
    }

    // Commands that must all succeed.
    void run_all(const std::vector<std::vector<std::string>>& commands) {
        for (const auto& args : commands) {
            const Result r = run(args);
            ASSERT_EQ(r.code, kExitDone) << testing::PrintToString(args) << ": " << r.err;
        }
    }

    static Json::Value parse(const std::string& text) {
        Json::Value v;
        Json::CharReaderBuilder builder;
        std::string errors;
        std::istringstream in(text);
        EXPECT_TRUE(Json::parseFromStream(builder, in, &v, &errors)) << errors << "\n" << text;
        return v;
    }

    // Every file under the data folder with its bytes.
    std::map<std::string, std::string> data_files() const {
        std::map<std::string, std::string> files;
        std::error_code ec;
        for (const auto& e : std::filesystem::recursive_directory_iterator(tmp_.path(), ec)) {
            if (!e.is_regular_file()) continue;
            std::ifstream in(e.path(), std::ios::binary);
            std::ostringstream bytes;
            bytes << in.rdbuf();
            files[e.path().string()] = bytes.str();
        }
        return files;
    }

    // The write requests (command 6) the device received, their payload as sent.
    static std::vector<std::vector<uint8_t>> writes(EmulatedDevice& device) {
        std::vector<std::vector<uint8_t>> out;
        for (const auto& e : device.log().entries())
            if (e.direction == Direction::received && e.bytes.size() == 64 && e.bytes[3] == 6)
                out.push_back(e.bytes);
        return out;
    }

    static size_t received(EmulatedDevice& device) {
        size_t n = 0;
        for (const auto& e : device.log().entries()) n += e.direction == Direction::received;
        return n;
    }

    TempDir tmp_;
    ScopedEnv home_, data_, config_;
    emulator::EmulatedBackend backend_;
    std::shared_ptr<EmulatedDevice> mouse_, pad_, keyboard_;
};

TEST_F(CliTest, ListShowsEveryEmulatedDeviceAsJson) {
    const std::vector<uint8_t> status = {57, 2, 0, 1, 0, 1};
    pad_->set_status_bytes(status);
    const Result r = run({"--json", "list"});
    ASSERT_EQ(r.code, kExitDone) << r.err;
    const Json::Value list = parse(r.out);
    ASSERT_TRUE(list.isArray());
    std::map<std::string, Json::Value> by_kind;
    for (const Json::Value& d : list) by_kind[d["kind"].asString()] = d;
    ASSERT_TRUE(by_kind.count("mouse")) << r.out;
    ASSERT_TRUE(by_kind.count("pad")) << r.out;
    EXPECT_EQ(by_kind["mouse"]["id"].asString(), "0c45:7643");
    EXPECT_EQ(by_kind["mouse"]["node"].asString(), "emu/mouse0");
    EXPECT_EQ(by_kind["mouse"]["hid_version"].asInt(), emulator::kEmulatedVersion);
    EXPECT_EQ(by_kind["pad"]["id"].asString(), "320f:1004");
    ASSERT_TRUE(by_kind.count("keyboard")) << r.out;
    ASSERT_TRUE(by_kind.count("headset")) << r.out;
    EXPECT_EQ(list.size(), 4u);
    // The battery of the devices that report one, from their status bytes.
    EXPECT_EQ(by_kind["pad"]["battery"].asInt(), 57);
    EXPECT_EQ(by_kind["pad"]["charging_state"].asInt(), 2);
    EXPECT_EQ(by_kind["headset"]["battery"].asInt(), 80);
    EXPECT_FALSE(by_kind["mouse"].isMember("battery"));
    EXPECT_FALSE(by_kind["keyboard"].isMember("battery"));
    // Listing changes nothing: the mouse gets no command, the pad only a read of its status.
    EXPECT_EQ(received(*mouse_), 0u);

    const Result text = run({"list"});
    ASSERT_EQ(text.code, kExitDone);
    EXPECT_NE(text.out.find("mouse\temu/mouse0\t0c45:7643\tHID 0102\tbattery -\t"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("pad\temu/mousepad0\t320f:1004\tHID 0102\tbattery 57%\t"),
              std::string::npos)
        << text.out;
}

TEST_F(CliTest, DpiStageAndActiveStageReachTheMouseAndTheProfile) {
    const Result r =
        run({"--emulate", "dpi", "mouse", "--stage", "2", "--value", "1600", "--active", "2"});
    ASSERT_EQ(r.code, kExitDone) << r.err;

    // 1600 DPI is slider step 15; stage 2's step is the word at 17, the active stage byte 23.
    const std::vector<uint8_t> memory = mouse_->memory();
    ASSERT_GT(memory.size(), 56u);
    EXPECT_EQ(memory[17], 15);
    EXPECT_EQ(memory[18], 0);
    EXPECT_EQ(memory[23], 1);

    // Sent as 95 bytes at offset 0: a 56-byte chunk, then 39 bytes at 56, each checksummed.
    const auto w = writes(*mouse_);
    ASSERT_EQ(w.size(), 2u);
    EXPECT_EQ(w[0][4], 56);
    EXPECT_EQ(w[0][5], 0);
    EXPECT_EQ(w[1][4], 39);
    EXPECT_EQ(w[1][5], 56);
    EXPECT_EQ(w[0][8 + 17], 15);
    EXPECT_EQ(w[0][8 + 23], 1);
    for (const auto& report : w) {
        unsigned sum = 0;
        for (size_t i = 3; i < 64; ++i) sum += report[i];
        EXPECT_EQ(report[1] | report[2] << 8, int(sum & 0xFFFF));
    }

    // The same profile the window would load now holds the stage, read back as JSON.
    const Result listed = run({"--json", "dpi", "emu/mouse0"});
    ASSERT_EQ(listed.code, kExitDone) << listed.err;
    const Json::Value v = parse(listed.out);
    EXPECT_EQ(v["active"].asInt(), 2);
    ASSERT_GE(v["stages"].size(), 2u);
    EXPECT_EQ(v["stages"][1]["dpi"].asInt(), 1600);

    // The highest step: 16000 DPI is step 139 (0x8B).
    ASSERT_EQ(run({"dpi", "mouse", "--stage=4", "--value=16000"}).code, kExitDone);
    EXPECT_EQ(mouse_->memory()[21], 0x8B);
    EXPECT_EQ(mouse_->memory()[17], 15) << "the other stages stay as they were";
}

TEST_F(CliTest, RateAndLiftReachTheMouse) {
    ASSERT_EQ(run({"rate", "mouse", "1000"}).code, kExitDone);
    EXPECT_EQ(mouse_->memory()[14], 3);
    ASSERT_EQ(run({"rate", "mouse", "125"}).code, kExitDone);
    EXPECT_EQ(mouse_->memory()[14], 0);
    ASSERT_EQ(run({"lift", "mouse", "3"}).code, kExitDone);
    EXPECT_EQ(mouse_->memory()[56], 2);
    EXPECT_EQ(mouse_->memory()[14], 0) << "the rate stored before is kept";
}

TEST_F(CliTest, LightOnTheMouseAndThePad) {
    ASSERT_EQ(run({"light", "mouse", "--mode", "static", "--colour", "12ab3C", "--brightness", "3",
                   "--speed", "1", "--direction", "left"})
                  .code,
              kExitDone);
    // Static is the mouse's mode 5; brightness 3, speed held as 4 - 1, Fx 1, one colour.
    std::vector<uint8_t> m = mouse_->memory();
    EXPECT_EQ(std::vector<uint8_t>(m.begin() + 1, m.begin() + 9),
              (std::vector<uint8_t>{5, 3, 3, 1, 0, 0x12, 0xAB, 0x3C}));

    // By number; what was not given stays.
    ASSERT_EQ(run({"light", "mouse", "--mode", "2"}).code, kExitDone);
    m = mouse_->memory();
    EXPECT_EQ(std::vector<uint8_t>(m.begin() + 1, m.begin() + 9),
              (std::vector<uint8_t>{2, 3, 3, 1, 0, 0x12, 0xAB, 0x3C}));

    pad_->log().clear();
    ASSERT_EQ(run({"light", "pad", "--mode", "breathing", "--colour", "#FF0080", "--brightness",
                   "4", "--speed", "0"})
                  .code,
              kExitDone);
    const std::vector<uint8_t> p = pad_->memory();
    EXPECT_EQ(std::vector<uint8_t>(p.begin() + 1, p.begin() + 9),
              (std::vector<uint8_t>{2, 4, 4, p[4], 0, 0xFF, 0x00, 0x80}));
    const auto w = writes(*pad_);
    ASSERT_EQ(w.size(), 1u);
    EXPECT_EQ(w[0][4], 21);
    EXPECT_EQ(w[0][5], 0);
    EXPECT_EQ(w[0][8 + 6], 0xFF);
}

TEST_F(CliTest, BadInputExitsTwoAndChangesNothing) {
    // Profiles exist first, so "unchanged" means the same bytes, not merely still absent.
    ASSERT_EQ(run({"dpi", "mouse", "--stage", "1", "--value", "800"}).code, kExitDone);
    ASSERT_EQ(run({"light", "pad", "--brightness", "2"}).code, kExitDone);
    const auto files = data_files();
    const auto mouse_memory = mouse_->memory();
    const auto pad_memory = pad_->memory();
    mouse_->log().clear();
    pad_->log().clear();

    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--bogus", "list"},
        {"frobnicate"},
        {"list", "extra"},
        {"dpi"},
        {"dpi", "mouse", "--stage", "2"},
        {"dpi", "mouse", "--value", "800"},
        {"dpi", "mouse", "--stage", "2", "--value", "50"},
        {"dpi", "mouse", "--stage", "2", "--value", "16001"},
        {"dpi", "mouse", "--stage", "2", "--value", "12100"},
        {"dpi", "mouse", "--stage", "2", "--value", "1650"},
        {"dpi", "mouse", "--stage", "2", "--value", "1600x"},
        {"dpi", "mouse", "--stage", "0", "--value", "800"},
        {"dpi", "mouse", "--stage", "9", "--value", "800"},
        {"dpi", "mouse", "--active", "9"},
        {"dpi", "mouse", "--active"},
        {"dpi", "mouse", "--active", "1", "--active", "2"},
        {"dpi", "mouse", "--colour", "ff0000"},
        {"dpi", "pad", "--stage", "1", "--value", "800"},
        {"rate", "mouse"},
        {"rate", "mouse", "300"},
        {"rate", "mouse", "-125"},
        {"rate", "mouse", "1000", "2000"},
        {"lift", "mouse", "0"},
        {"lift", "mouse", "4"},
        {"light", "mouse"},
        {"light", "mouse", "--mode", "nosuchmode"},
        {"light", "mouse", "--mode", "999"},
        {"light", "pad", "--mode", "9"},
        {"light", "mouse", "--colour", "12345"},
        {"light", "mouse", "--colour", "GG0000"},
        {"light", "mouse", "--colour", "1234567"},
        {"light", "mouse", "--brightness", "5"},
        {"light", "mouse", "--speed", "-1"},
        {"light", "mouse", "--direction", "up"},
        {"light", "keyboard", "--brightness", "1"},
        // A valid change beside a bad one: nothing of it is applied either.
        {"light", "pad", "--brightness", "1", "--colour", "zz0000"},
    };
    for (const auto& args : cases) {
        std::string line;
        for (const auto& a : args) line += a + " ";
        const Result r = run(args);
        EXPECT_EQ(r.code, kExitUsage) << line << "\n" << r.out << r.err;
        EXPECT_FALSE(r.err.empty()) << line;
    }
    EXPECT_EQ(data_files(), files);
    EXPECT_EQ(mouse_->memory(), mouse_memory);
    EXPECT_EQ(pad_->memory(), pad_memory);
    EXPECT_EQ(received(*mouse_), 0u);
    EXPECT_EQ(received(*pad_), 0u);
}

TEST_F(CliTest, UnknownDeviceExitsThreeAndWritesNothing) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"dpi", "trackball", "--stage", "1", "--value", "800"},
          {"rate", "emu/mouse7", "1000"},
          {"light", "mouse1", "--brightness", "1"}}) {
        const Result r = run(args);
        EXPECT_EQ(r.code, kExitNoDevice) << args[1];
        EXPECT_NE(r.err.find("no such device"), std::string::npos);
    }
    EXPECT_TRUE(data_files().empty()) << "no profile list made for a device that is not there";

    backend_.unplug(mouse_);
    EXPECT_EQ(run({"lift", "mouse", "1"}).code, kExitNoDevice);
}

TEST_F(CliTest, DeviceFailureExitsOne) {
    // The settings write (command 6) is answered with status 0xFF.
    mouse_->fail_chunk(0xFF, 1, 6);
    const Result r = run({"rate", "mouse", "500"});
    EXPECT_EQ(r.code, kExitDeviceFailed);
    EXPECT_NE(r.err.find("refused"), std::string::npos) << r.err;

    mouse_->set_no_reply(1000);
    EXPECT_EQ(run({"dpi", "mouse", "--active", "1"}).code, kExitDeviceFailed);
}

TEST_F(CliTest, ProfilesListExportImportShowAndApply) {
    const Result first = run({"--json", "profile", "list", "mouse"});
    ASSERT_EQ(first.code, kExitDone) << first.err;
    Json::Value list = parse(first.out);
    ASSERT_EQ(list.size(), 1u) << "profile1 is made as the window makes it";
    EXPECT_EQ(list[0]["name"].asString(), "profile1");
    EXPECT_TRUE(list[0]["selected"].asBool());

    // Exported, changed by hand (stage 1 at step 31, 3200 DPI), imported under a used name.
    const std::string out = tmp_.file("out.json");
    ASSERT_EQ(run({"profile", "export", "mouse", out}).code, kExitDone);
    std::ifstream in(out);
    Json::Value doc = parse(std::string(std::istreambuf_iterator<char>(in), {}));
    ASSERT_TRUE(doc.isObject());
    doc["Device"][0]["DPIStages"]["StageDPIs"][0]["StageDPIX"] = 31;
    const std::string changed = tmp_.file("changed.json");
    std::ofstream(changed) << doc.toStyledString();
    const Result imported = run({"profile", "import", "mouse", changed});
    ASSERT_EQ(imported.code, kExitDone) << imported.err;
    EXPECT_EQ(imported.out, "profile1(1)\n");

    const Result text = run({"profile", "list", "mouse"});
    EXPECT_NE(text.out.find("* 1\tprofile1\t"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("  2\tprofile1(1)\t"), std::string::npos) << text.out;
    const Result shown = run({"profile", "show", "mouse", "2"});
    ASSERT_EQ(shown.code, kExitDone);
    EXPECT_EQ(parse(shown.out)["profilename"].asString(), "profile1(1)");
    EXPECT_EQ(parse(shown.out)["Device"][0]["DPIStages"]["StageDPIs"][0]["StageDPIX"].asInt(), 31);

    mouse_->log().clear();
    ASSERT_EQ(run({"profile", "apply", "mouse", "PROFILE1(1)"}).code, kExitDone)
        << "names compare as the window compares them";
    EXPECT_EQ(mouse_->memory()[15], 31);
    EXPECT_EQ(writes(*mouse_).size(), 2u);
    list = parse(run({"--json", "profile", "list", "mouse"}).out);
    EXPECT_TRUE(list[1]["selected"].asBool());
    EXPECT_EQ(parse(run({"--json", "dpi", "mouse"}).out)["stages"][0]["dpi"].asInt(), 3200);

    // The pad takes a profile too: its light block is written.
    pad_->log().clear();
    ASSERT_EQ(run({"profile", "apply", "pad", "1"}).code, kExitDone);
    EXPECT_EQ(writes(*pad_).size(), 1u);
}

TEST_F(CliTest, BadProfileInputExitsTwoAndChangesNoFile) {
    ASSERT_EQ(run({"profile", "list", "mouse"}).code, kExitDone);
    const std::string not_json = tmp_.file("not.json");
    std::ofstream(not_json) << "{\"profilename\": ";
    const std::string nameless = tmp_.file("nameless.json");
    std::ofstream(nameless) << "{\"profileUUID\": \"x\", \"Device\": []}";
    const std::string blank = tmp_.file("blank.json");
    std::ofstream(blank) << "{\"profilename\": \"  \", \"profileUUID\": \"x\"}";
    const std::string array = tmp_.file("array.json");
    std::ofstream(array) << "[1, 2, 3]";
    const std::string large = tmp_.file("large.json");
    {
        std::ofstream big(large);
        big << "{\"profilename\": \"big\", \"profileUUID\": \"x\", \"pad\": \"";
        big << std::string(5 * 1024 * 1024, 'a') << "\"}";
    }
    const auto files = data_files();
    mouse_->log().clear();
    const std::vector<std::vector<std::string>> cases = {
        {"profile"},
        {"profile", "list"},
        {"profile", "rename", "mouse", "x"},
        {"profile", "list", "mouse", "extra"},
        {"profile", "show", "mouse", "nosuch"},
        {"profile", "show", "mouse", "0"},
        {"profile", "apply", "mouse"},
        {"profile", "apply", "mouse", "nosuch"},
        {"profile", "apply", "mouse", "2"},
        {"profile", "apply", "keyboard", "1"},
        {"profile", "export", "mouse"},
        {"profile", "import", "mouse"},
        {"profile", "import", "mouse", tmp_.file("missing.json")},
        {"profile", "import", "mouse", not_json},
        {"profile", "import", "mouse", nameless},
        {"profile", "import", "mouse", blank},
        {"profile", "import", "mouse", array},
        {"profile", "import", "mouse", large},
        {"profile", "import", "mouse", tmp_.path().string()},
    };
    for (const auto& args : cases) {
        std::string line;
        for (const auto& a : args) line += a + " ";
        const Result r = run(args);
        EXPECT_EQ(r.code, kExitUsage) << line << "\n" << r.err;
        EXPECT_FALSE(r.err.empty()) << line;
    }
    EXPECT_EQ(run({"profile", "list", "trackball"}).code, kExitNoDevice);
    // Only the files written above are there, and every one as it was.
    EXPECT_EQ(data_files(), files);
    EXPECT_EQ(received(*mouse_), 0u);
}

TEST_F(CliTest, HelpForEveryCommand) {
    for (const char* command :
         {"list", "dpi", "rate", "lift", "light", "profile", "keymap", "macro"}) {
        const Result r = run({command, "--help"});
        EXPECT_EQ(r.code, kExitDone) << command;
        EXPECT_NE(r.out.find(std::string("tellunectl ") + command), std::string::npos) << r.out;
    }
    const Result r = run({"--help"});
    EXPECT_EQ(r.code, kExitDone);
    EXPECT_NE(r.out.find("Exit codes"), std::string::npos);
    EXPECT_EQ(received(*mouse_), 0u);
}

// Slot `slot` of a key table takes `code`.
void put_code(std::vector<uint8_t>& table, size_t slot, const std::vector<uint8_t>& code) {
    std::copy(code.begin(), code.end(), table.begin() + long(3 * slot));
}

// The mouse's key table as the emulated mouse was built: button i in slot i, sixteen slots.
std::vector<uint8_t> factory_keys() {
    std::vector<uint8_t> table = {0x10, 0x01, 0x00, 0x10, 0x02, 0x00, 0x10, 0x04, 0x00, 0x10, 0x10,
                                  0x00, 0x10, 0x08, 0x00, 0x13, 0x01, 0x00, 0x13, 0x02, 0x00, 0xA0,
                                  0x02, 0x00, 0x13, 0x03, 0x00, 0xA0, 0x1B, 0x00, 0x16, 0x90, 0x01};
    table.resize(48);
    return table;
}

const char kMacroFile[] = R"({"Events": [{"Action":"down","Button":4,"Type":10,"Delay":"300"},)"
                          R"({"Action":"up","Button":4,"Type":10,"Delay":"5"}], "Extra": "kept"})";

TEST_F(CliTest, KeymapReachesTheMouseAndTheProfile) {
    ASSERT_EQ(mouse_->key_table(), factory_keys());
    const std::vector<std::vector<std::string>> commands = {
        {"keymap", "mouse", "side1", "key:ctrl+c"},
        {"keymap", "emu/mouse0", "3", "media:volume-up"},
        {"keymap", "mouse", "dpi-up", "swing:count=5,delay=2,speed=3,direction=1"},
        {"keymap", "mouse", "fire", "disabled"},
        {"keymap", "mouse", "RIGHT", "mouse:back"},
    };
    run_all(commands);
    // Worked out by hand: slot 3 Ctrl+C (0x20 0x01 0x06), slot 2 consumer usage 0x00E9 low
    // byte first, slot 5 swing 0x23 with 0x80 + 5, slot 7 0xA0 0 0, slot 1 button 4 (0x08).
    std::vector<uint8_t> want = factory_keys();
    const auto put = [&](size_t slot, std::vector<uint8_t> code) { put_code(want, slot, code); };
    put(3, {0x20, 0x01, 0x06});
    put(2, {0x30, 0xE9, 0x00});
    put(5, {0x11, 0x23, 0x85});
    put(7, {0xA0, 0x00, 0x00});
    put(1, {0x10, 0x08, 0x00});
    EXPECT_EQ(mouse_->key_table(), want);

    // The profile holds them: the listing reads it back as the same texts.
    const Result listed = run({"--json", "keymap", "mouse"});
    ASSERT_EQ(listed.code, kExitDone) << listed.err;
    const Json::Value keys = parse(listed.out);
    ASSERT_EQ(keys.size(), 11u);
    EXPECT_EQ(keys[3]["function"].asString(), "key:ctrl+c");
    EXPECT_EQ(keys[2]["function"].asString(), "media:volume-up");
    EXPECT_EQ(keys[5]["function"].asString(), "swing:count=5,delay=2,speed=3,direction=1");
    EXPECT_EQ(keys[7]["function"].asString(), "disabled");
    EXPECT_FALSE(keys[3]["default"].asBool());
    EXPECT_TRUE(keys[0]["default"].asBool());
    EXPECT_EQ(keys[0]["name"].asString(), "left");

    // "default" brings a button's own function back.
    ASSERT_EQ(run({"keymap", "mouse", "4", "default"}).code, kExitDone);
    put(3, {0x10, 0x10, 0x00});
    EXPECT_EQ(mouse_->key_table(), want);

    // A fresh connection reads the table the mouse now holds: nothing was lost on the way.
    ASSERT_EQ(run({"keymap", "mouse", "1", "key:a"}).code, kExitDone);
    put(0, {0x20, 0x00, 0x04});
    EXPECT_EQ(mouse_->key_table(), want);
}

TEST_F(CliTest, BadKeymapAndMacroInputExitsTwoAndChangesNothing) {
    ASSERT_EQ(run({"keymap", "mouse", "2", "key:b"}).code, kExitDone);
    const std::string macro_file = tmp_.file("m.mac");
    std::ofstream(macro_file) << kMacroFile;
    const std::string not_json = tmp_.file("bad.mac");
    std::ofstream(not_json) << "{\"Events\": [";
    const std::string array = tmp_.file("array.mac");
    std::ofstream(array) << "[1, 2]";
    ASSERT_EQ(run({"macro", "import", "mouse", macro_file}).code, kExitDone);
    const auto files = data_files();
    const auto keys = mouse_->key_table();
    const auto macros = mouse_->macro_area();
    mouse_->log().clear();

    const std::vector<std::vector<std::string>> cases = {
        {"keymap"},
        {"keymap", "mouse", "1"},
        {"keymap", "mouse", "0", "key:a"},
        {"keymap", "mouse", "12", "key:a"},
        {"keymap", "mouse", "thumb", "key:a"},
        {"keymap", "mouse", "1", "key:nosuchkey"},
        {"keymap", "mouse", "1", "key:ctrl+"},
        {"keymap", "mouse", "1", "media:a"},
        {"keymap", "mouse", "1", "swing:count=200"},
        {"keymap", "mouse", "1", "macro:nosuchmacro"},
        {"keymap", "mouse", "1", "macro:macro_1,mode=9"},
        {"keymap", "mouse", "1", "code:200004"},
        {"keymap", "mouse", "1", "key:a", "extra"},
        {"keymap", "mouse", "1", "--bogus", "x"},
        {"keymap", "pad", "1", "key:a"},
        {"keymap", "keyboard", "fn", "key:a"},
        {"macro"},
        {"macro", "list"},
        {"macro", "erase", "mouse"},
        {"macro", "list", "mouse", "extra"},
        {"macro", "export", "mouse", "nosuchmacro", tmp_.file("x.mac")},
        {"macro", "export", "mouse", "2", tmp_.file("x.mac")},
        {"macro", "export", "mouse", "macro_1"},
        {"macro", "import", "mouse"},
        {"macro", "import", "mouse", tmp_.file("missing.mac")},
        {"macro", "import", "mouse", not_json},
        {"macro", "import", "mouse", array},
        {"macro", "import", "mouse", tmp_.path().string()},
        {"macro", "import", "pad", macro_file},
    };
    for (const auto& args : cases) {
        const Result r = run(args);
        EXPECT_EQ(r.code, kExitUsage) << testing::PrintToString(args) << "\n" << r.err;
        EXPECT_FALSE(r.err.empty());
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    EXPECT_EQ(run({"keymap", "headset0", "1", "key:a"}).code, kExitNoDevice);
    EXPECT_EQ(data_files(), files);
    EXPECT_EQ(mouse_->key_table(), keys);
    EXPECT_EQ(mouse_->macro_area(), macros);
    EXPECT_TRUE(writes(*mouse_).empty());
}

TEST_F(CliTest, MacroImportExportRoundTripAndKeysPlayingIt) {
    const std::string source = tmp_.file("source.mac");
    std::ofstream(source) << kMacroFile;
    const Result none = run({"--json", "macro", "list", "mouse"});
    ASSERT_EQ(none.code, kExitDone) << none.err;
    EXPECT_EQ(parse(none.out).size(), 0u);

    const Result imported = run({"macro", "import", "mouse", source});
    ASSERT_EQ(imported.code, kExitDone) << imported.err;
    EXPECT_EQ(imported.out, "macro_1\n");
    // The mouse got the library at once: AA 55, length 16 + 6 + 8 = 30, one macro at 18 with
    // two events (300 ms key 4 down, 5 ms key 4 up).
    const std::vector<uint8_t> area = mouse_->macro_area();
    ASSERT_GE(area.size(), 30u);
    EXPECT_EQ(std::vector<uint8_t>(area.begin(), area.begin() + 30),
              (std::vector<uint8_t>{0xaa, 0x55, 0x1e, 0x00, 0x01, 0x00, 0,    0,    0,    0,
                                    0,    0,    0,    0,    0,    0,    0x12, 0x00, 0x02, 0x00,
                                    0x00, 0x00, 0x2c, 0x01, 0x8a, 0x04, 0x05, 0x00, 0x0a, 0x04}));
    ASSERT_EQ(run({"macro", "import", "mouse", source}).out, "macro_2\n");

    const Result listed = run({"--json", "macro", "list", "mouse"});
    const Json::Value list = parse(listed.out);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1]["index"].asInt(), 2);
    EXPECT_EQ(list[1]["name"].asString(), "macro_2");

    // Exported by name (any letter case) and by number: the bytes imported, unchanged.
    const auto read = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    ASSERT_EQ(run({"macro", "export", "mouse", "MACRO_2", tmp_.file("a.mac")}).code, kExitDone);
    ASSERT_EQ(run({"macro", "export", "mouse", "1", tmp_.file("b.mac")}).code, kExitDone);
    EXPECT_EQ(read(tmp_.file("a.mac")), kMacroFile);
    EXPECT_EQ(read(tmp_.file("b.mac")), kMacroFile);
    EXPECT_EQ(run({"macro", "export", "mouse", "1", tmp_.file("no/such/dir/c.mac")}).code,
              kExitDeviceFailed);

    // A key plays the second macro, repeated three times: 0x71, index 1, 3.
    ASSERT_EQ(run({"keymap", "mouse", "fire", "macro:macro_2,repeat=3"}).code, kExitDone);
    const std::vector<uint8_t> table = mouse_->key_table();
    ASSERT_EQ(table.size(), 48u);
    EXPECT_EQ(std::vector<uint8_t>(table.begin() + 21, table.begin() + 24),
              (std::vector<uint8_t>{0x71, 0x01, 0x03}));
    const Result keys = run({"keymap", "mouse"});
    EXPECT_NE(keys.out.find("8\tfire\tmacro:macro_2,repeat=3\n"), std::string::npos) << keys.out;

    // The keyboard's library is its own: the same macro file is its first, sent in the same
    // image with command 0x15, exported unchanged, and played by a key.
    EXPECT_EQ(parse(run({"--json", "macro", "list", "keyboard"}).out).size(), 0u);
    ASSERT_EQ(run({"macro", "import", "keyboard", source}).out, "macro_1\n");
    EXPECT_EQ(keyboard_->macro_area(), area);
    ASSERT_EQ(run({"macro", "export", "keyboard", "macro_1", tmp_.file("k.mac")}).code, kExitDone);
    EXPECT_EQ(read(tmp_.file("k.mac")), kMacroFile);
    ASSERT_EQ(run({"keymap", "keyboard", "f1", "macro:macro_1,mode=2"}).code, kExitDone);
    const std::vector<uint8_t> kb = keyboard_->key_table();
    EXPECT_EQ(std::vector<uint8_t>(kb.begin() + 3, kb.begin() + 6),
              (std::vector<uint8_t>{0x70, 0x00, 0x01}));
    EXPECT_EQ(parse(run({"--json", "macro", "list", "mouse"}).out).size(), 2u);
}

TEST_F(CliTest, MacroImportIsRefusedWhenTheLibraryIsFull) {
    const std::string source = tmp_.file("source.mac");
    std::ofstream(source) << kMacroFile;
    // Each device has a library of its own: the mouse's being full leaves the keyboard's open.
    for (const auto& [name, device] :
         {std::pair{"mouse", mouse_}, std::pair{"keyboard", keyboard_}}) {
        for (int i = 0; i < macro::kMaxMacros; ++i)
            ASSERT_EQ(run({"macro", "import", name, source}).code, kExitDone) << name << i;
        const auto files = data_files();
        const uint64_t macro_writes = device->command_count(0x15);
        const Result full = run({"macro", "import", name, source});
        EXPECT_EQ(full.code, kExitUsage) << name;
        EXPECT_NE(full.err.find("50"), std::string::npos) << full.err;
        EXPECT_EQ(data_files(), files) << name;
        EXPECT_EQ(device->command_count(0x15), macro_writes) << name;
    }
}

// The keyboard's key table as the emulated keyboard was built: key k in slot k.
std::vector<uint8_t> keyboard_factory_keys() {
    std::vector<uint8_t> table;
    for (const auto& code : device::kKeyboardFactoryCodes)
        table.insert(table.end(), code.begin(), code.end());
    return table;
}

TEST_F(CliTest, KeymapReachesTheKeyboardAtTheKeysOwnSlots) {
    ASSERT_EQ(keyboard_->key_table(), keyboard_factory_keys());
    run_all({{"keymap", "keyboard", "a", "key:ctrl+c"},
             {"keymap", "emu/keyboard0", "2", "media:volume-up"},
             {"keymap", "keyboard", "numpad-1", "mouse:back"},
             {"keymap", "keyboard", "lctrl", "disabled"}});
    // By hand: A is key 64 (usage 0x04) in slot 64, Ctrl+C 0x20 0x01 0x06; key 2 is F1 in
    // slot 1, consumer usage 0x00E9 low byte first; keypad 1 is key 97, mouse button 4 (0x08);
    // left Ctrl is key 105, 0xA0 0 0. The other 122 slots keep their factory codes.
    std::vector<uint8_t> want = keyboard_factory_keys();
    put_code(want, 64, {0x20, 0x01, 0x06});
    put_code(want, 1, {0x30, 0xE9, 0x00});
    put_code(want, 97, {0x10, 0x08, 0x00});
    put_code(want, 105, {0xA0, 0x00, 0x00});
    EXPECT_EQ(keyboard_->key_table(), want);
    EXPECT_EQ(received(*mouse_), 0u);

    // The listing reads the profile back; it holds the keys the board has, Fn aside.
    const Result listed = run({"--json", "keymap", "keyboard"});
    ASSERT_EQ(listed.code, kExitDone) << listed.err;
    std::map<int, Json::Value> by_key;
    for (const Json::Value& k : parse(listed.out)) by_key[k["key"].asInt()] = k;
    EXPECT_EQ(by_key.size(), 120u);
    EXPECT_EQ(by_key[65]["name"].asString(), "a");
    EXPECT_EQ(by_key[65]["function"].asString(), "key:ctrl+c");
    EXPECT_FALSE(by_key[65]["default"].asBool());
    EXPECT_EQ(by_key[2]["function"].asString(), "media:volume-up");
    EXPECT_EQ(by_key[1]["function"].asString(), "key:esc");
    EXPECT_TRUE(by_key[1]["default"].asBool());
    EXPECT_FALSE(by_key.count(111)) << "Fn";
    EXPECT_FALSE(by_key.count(19)) << "a key no board has";
    const Result text = run({"keymap", "keyboard"});
    EXPECT_NE(text.out.find("\n106\tlctrl\tdisabled\n"), std::string::npos) << text.out;

    // "default" brings the key's own function back; the mouse's functions are refused.
    ASSERT_EQ(run({"keymap", "keyboard", "65", "default"}).code, kExitDone);
    put_code(want, 64, {0x20, 0x00, 0x04});
    EXPECT_EQ(keyboard_->key_table(), want);
}

TEST_F(CliTest, KeyboardKeysItLacksAndFnAreRefusedWithNothingChanged) {
    // A board whose table has no Q (key 43): its factory code is not in any slot.
    emulator::DeviceConfig config = emulator::keyboard_config(1);
    config.key_table[3 * 43 + 2] = 0;
    backend_.unplug(keyboard_);
    keyboard_ = std::make_shared<EmulatedDevice>(config);
    backend_.plug(keyboard_);
    ASSERT_EQ(run({"keymap", "keyboard", "w", "key:q"}).code, kExitDone);
    const Result listed = run({"keymap", "keyboard"});
    EXPECT_EQ(listed.out.find("\tq\t"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("\n45\tw\tkey:q\n"), std::string::npos) << listed.out;

    const auto files = data_files();
    const auto table = keyboard_->key_table();
    const auto memory = keyboard_->memory();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"keymap", "keyboard", "q", "key:a"},
          {"keymap", "keyboard", "44", "key:a"},
          {"keymap", "keyboard", "fn", "key:a"},
          {"keymap", "keyboard", "111", "default"},
          {"keymap", "keyboard", "19", "key:a"},
          {"keymap", "keyboard", "127", "key:a"},
          {"keymap", "keyboard", "power", "key:a"},
          {"keymap", "keyboard", "a", "dpi:up"},
          {"keymap", "keyboard", "a", "recoil:1"},
          {"keymap", "keyboard", "a", "macro:macro_1"}}) {
        const Result r = run(args);
        EXPECT_EQ(r.code, kExitUsage) << args[2] << " " << args[3] << "\n" << r.err;
        EXPECT_FALSE(r.err.empty());
    }
    EXPECT_EQ(data_files(), files);
    EXPECT_EQ(keyboard_->key_table(), table);
    EXPECT_EQ(keyboard_->memory(), memory);
}

TEST_F(CliTest, KeymapFailureOnTheMouseExitsOne) {
    // The key table write (command 9) is answered with status 0xFF.
    mouse_->fail_chunk(0xFF, 1, 9);
    const Result r = run({"keymap", "mouse", "1", "key:a"});
    EXPECT_EQ(r.code, kExitDeviceFailed);
    EXPECT_NE(r.err.find("refused"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace tellune::cli

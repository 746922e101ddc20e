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

#include "core/hid/command_channel.h"
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
        backend_.plug(mouse_);
        backend_.plug(emulator::make_keyboard());
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
    std::shared_ptr<EmulatedDevice> mouse_, pad_;
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
    for (const char* command : {"list", "dpi", "rate", "lift", "light", "profile"}) {
        const Result r = run({command, "--help"});
        EXPECT_EQ(r.code, kExitDone) << command;
        EXPECT_NE(r.out.find(std::string("tellunectl ") + command), std::string::npos) << r.out;
    }
    const Result r = run({"--help"});
    EXPECT_EQ(r.code, kExitDone);
    EXPECT_NE(r.out.find("Exit codes"), std::string::npos);
    EXPECT_EQ(received(*mouse_), 0u);
}

}  // namespace
}  // namespace tellune::cli

// tellunectl while the program runs: its requests travel over a private session bus to the
// program, which holds the devices. The device must receive the same bytes as when the
// command opens the device itself, and the open page must show the change at once.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDBusMessage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <atomic>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "cli/bus_remote.h"
#include "cli/commands.h"
#include "core/profile/json_file.h"
#include "emulator/products.h"
#include "private_bus.h"
#include "program_test.h"
#include "test_support/wait.h"
#include "ui/device/keyboard_device.h"
#include "ui/device/mouse_device.h"
#include "ui/device/mouse_pad_device.h"
#include "ui/editors/key_set_control_ui.h"
#include "ui/editors/light_control_ui.h"
#include "ui/macro/macro_control_ui.h"
#include "ui/profile/device_profile_ui.h"

namespace tellune::ui {
namespace {

struct Result {
    int code = -1;
    std::string out, err;
};

Json::Value parse(const std::string& text) {
    JsonFileState state = JsonFileState::kRead;
    Json::Value v = parse_json(text, &state);
    EXPECT_EQ(state, JsonFileState::kRead) << text;
    return v;
}

// The settings block the device was last sent: the payloads of its write requests (command
// 6) after the last start of a write sequence (command 1), put together by offset.
std::vector<uint8_t> last_block(emulator::EmulatedDevice& device) {
    std::vector<uint8_t> block;
    for (const emulator::LogEntry& e : device.log().entries()) {
        if (e.direction != emulator::Direction::received || e.bytes.size() != 64) continue;
        if (e.bytes[3] == 1) block.clear();
        if (e.bytes[3] != 6) continue;
        const size_t offset = size_t(e.bytes[5] | e.bytes[6] << 8), length = e.bytes[4];
        if (block.size() < offset + length) block.resize(offset + length);
        std::copy(e.bytes.begin() + 8, e.bytes.begin() + 8 + long(length),
                  block.begin() + long(offset));
    }
    return block;
}

std::map<std::string, std::string> files_under(const std::string& folder) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder, ec)) {
        if (!e.is_regular_file()) continue;
        std::ifstream in(e.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        files[e.path().string()] = bytes.str();
    }
    return files;
}

class CliThroughProgram : public test::ProgramTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus_.running()) << "dbus-daemon did not start";
        backend_->plug(mouse_);
        backend_->plug(pad_);
        open_window();
        wnd_->attach_buses(bus_.connect("program"), QDBusConnection(QStringLiteral("no-bus")));
        // Both pages connected to the end: their light threads start last.
        ASSERT_SOON(mouse_page() && mouse_page()->Config().IsOpen() &&
                        mouse_page()->Protocol().light().running() && pad_page() &&
                        pad_page()->Config().IsOpen() && pad_page()->Protocol().light().running(),
                    20000);
        client_ = bus_.connect("cli");
    }

    template <class T>
    T* page_of() const {
        if (!pages_) return nullptr;
        for (CTarvexUSBDevice* p : pages_->Pages())
            if (auto* t = qobject_cast<T*>(p)) return t;
        return nullptr;
    }
    CTarvexMouseDevice* mouse_page() const { return page_of<CTarvexMouseDevice>(); }
    CTarvexMousePadDevice* pad_page() const { return page_of<CTarvexMousePadDevice>(); }
    CTarvexKeyboardDevice* keyboard_page() const { return page_of<CTarvexKeyboardDevice>(); }

    // tellunectl on a thread of its own, as another process would be, while this thread
    // runs the program. It gets a backend without devices: touching it finds nothing.
    Result through_program(std::vector<std::string> args) {
        Result r;
        std::atomic<bool> done{false};
        std::thread cli([&] {
            cli::BusRemote remote(client_);
            emulator::EmulatedBackend nothing;
            std::ostringstream out, err;
            r.code = cli::run(args, nothing, out, err, &remote);
            r.out = out.str();
            r.err = err.str();
            done = true;
        });
        const bool finished = tellune::test::wait_until([&] { return done.load(); }, 30000);
        cli.join();
        EXPECT_TRUE(finished);
        return r;
    }

    // Apply(path, request) as any program on the bus may call it; the exit code.
    int apply_from_bus(const QString& path, const QString& request) {
        QDBusMessage m = QDBusMessage::createMethodCall(
            cli::BusRemote::kService, cli::BusRemote::kPath, cli::BusRemote::kInterface, "Apply");
        m.setArguments({path, request});
        QDBusMessage reply;
        std::atomic<bool> done{false};
        std::thread t([&] {
            reply = client_.call(m, QDBus::Block, 10000);
            done = true;
        });
        tellune::test::wait_until([&] { return done.load(); }, 15000);
        t.join();
        return reply.arguments().value(0).toInt();
    }

    // Setting requests for `page` as a hostile bus client may send them: each is bad usage.
    void refused_from_bus(CTarvexUSBDevice* page, std::initializer_list<const char*> requests) {
        const QString path = QString::fromStdString(page->ConnectedSlot().path);
        for (const char* request : requests)
            EXPECT_EQ(apply_from_bus(path, QString::fromLatin1(request)), cli::kExitUsage)
                << request;
    }

    // Each command through the program, then directly: the key tables stay the same.
    void same_keys_both_ways(const std::vector<std::vector<std::string>>& commands,
                             emulator::EmulatedDevice& device, emulator::EmulatedDevice& own_device,
                             emulator::EmulatedBackend& own) {
        for (const auto& args : commands) {
            const Result remote = through_program(args);
            ASSERT_EQ(remote.code, cli::kExitDone) << args.back() << ": " << remote.err;
            const Result direct = directly(args, own);
            ASSERT_EQ(direct.code, cli::kExitDone) << args.back() << ": " << direct.err;
            EXPECT_EQ(device.key_table(), own_device.key_table()) << args.back();
        }
    }

    // The same command opening a fresh device of its own, in a data folder of its own.
    Result directly(std::vector<std::string> args, emulator::EmulatedBackend& backend) {
        ScopedEnv data("XDG_DATA_HOME", dir_.file("direct"));
        std::ostringstream out, err;
        Result r;
        r.code = cli::run(args, backend, out, err);
        r.out = out.str();
        r.err = err.str();
        return r;
    }

    test::PrivateBus bus_;
    QDBusConnection client_{QStringLiteral("unset")};
    std::shared_ptr<emulator::EmulatedDevice> mouse_ = emulator::make_mouse();
    std::shared_ptr<emulator::EmulatedDevice> pad_ = emulator::make_mouse_pad();
};

TEST_F(CliThroughProgram, MouseSettingsGiveTheSameBytesAndShowOnThePage) {
    emulator::EmulatedBackend own;
    auto own_mouse = emulator::make_mouse();
    own.plug(own_mouse);
    const std::vector<std::vector<std::string>> commands = {
        {"--emulate", "dpi", "mouse", "--stage", "2", "--value", "1600", "--active", "2"},
        {"--emulate", "rate", "mouse", "1000"},
        {"--emulate", "lift", "emu/mouse0", "3"},
        {"--emulate", "light", "mouse", "--mode", "static", "--colour", "12ab3c", "--brightness",
         "3", "--speed", "1", "--direction", "left"},
    };
    for (const auto& args : commands) {
        mouse_->log().clear();
        own_mouse->log().clear();
        const Result remote = through_program(args);
        ASSERT_EQ(remote.code, cli::kExitDone) << args[1] << ": " << remote.err;
        const Result direct = directly(args, own);
        ASSERT_EQ(direct.code, cli::kExitDone) << args[1] << ": " << direct.err;
        const std::vector<uint8_t> block = last_block(*mouse_);
        ASSERT_EQ(block.size(), 95u) << args[1];
        EXPECT_EQ(block, last_block(*own_mouse)) << args[1];
    }
    // What the commands left on the mouse, worked out by hand: stage 2 at step 15 (1600 DPI)
    // and active; 1000 Hz is rate 3; lift 3 is setting 2; static (5), brightness 3, speed
    // held as 4 - 1, Fx 1, one colour 12ab3c.
    const std::vector<uint8_t> m = mouse_->memory();
    EXPECT_EQ(m[17], 15);
    EXPECT_EQ(m[23], 1);
    EXPECT_EQ(m[14], 3);
    EXPECT_EQ(m[56], 2);
    EXPECT_EQ(std::vector<uint8_t>(m.begin() + 1, m.begin() + 9),
              (std::vector<uint8_t>{5, 3, 3, 1, 0, 0x12, 0xAB, 0x3C}));

    // The open page shows all of it without being reloaded.
    CTarvexMouseDevice* page = mouse_page();
    auto* edit = page->findChild<QLineEdit*>(QStringLiteral("DPI_edit_1"));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), "1600");
    auto* model = page->findChild<QAbstractButton*>(QStringLiteral("DPI_model_1"));
    ASSERT_NE(model, nullptr);
    EXPECT_TRUE(model->isChecked());
    EXPECT_EQ(page->report_rate(), 3);
    EXPECT_EQ(page->lift(), 2);
    CLightControlUI* light = find_light_control(page);
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->current_mode(), 5);
    EXPECT_EQ(light->brightness(), 3);
    EXPECT_EQ(light->colour_text(CLightControlUI::kRed), "18");

    // And the profile file the bar shows holds it, as after a change on the page.
    const Json::Value stored =
        read_json(find_profile_bar(page)->selected_profile_file())["Device"][0];
    EXPECT_EQ(stored["DPIStages"]["StageDPIs"][1]["StageDPIX"].asInt(), 15);
}

TEST_F(CliThroughProgram, PadLightGivesTheSameBytesAndShowsOnThePage) {
    emulator::EmulatedBackend own;
    auto own_pad = emulator::make_mouse_pad();
    own.plug(own_pad);
    const std::vector<std::string> args = {"--emulate", "light",    "pad",     "--mode",
                                           "breathing", "--colour", "#FF0080", "--brightness",
                                           "4",         "--speed",  "0"};
    pad_->log().clear();
    const Result remote = through_program(args);
    ASSERT_EQ(remote.code, cli::kExitDone) << remote.err;
    ASSERT_EQ(directly(args, own).code, cli::kExitDone);
    const std::vector<uint8_t> block = last_block(*pad_);
    ASSERT_EQ(block.size(), 21u);
    EXPECT_EQ(block, last_block(*own_pad));
    const std::vector<uint8_t> p = pad_->memory();
    EXPECT_EQ(std::vector<uint8_t>({p[1], p[2], p[3], p[5], p[6], p[7], p[8]}),
              (std::vector<uint8_t>{2, 4, 4, 0, 0xFF, 0x00, 0x80}));
    CLightControlUI* light = find_light_control(pad_page());
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->current_mode(), 2);
    EXPECT_EQ(light->colour_text(CLightControlUI::kGreen), "0");
}

TEST_F(CliThroughProgram, ListIsTheProgramsAndMatchesTheDirectOne) {
    const Result remote = through_program({"--emulate", "--json", "list"});
    ASSERT_EQ(remote.code, cli::kExitDone) << remote.err;
    const Json::Value listed = parse(remote.out);
    ASSERT_TRUE(listed.isArray());
    ASSERT_EQ(listed.size(), 2u) << remote.out;

    emulator::EmulatedBackend own;
    own.plug(emulator::make_mouse());
    own.plug(emulator::make_mouse_pad());
    const Json::Value direct = parse(directly({"--json", "list"}, own).out);
    std::map<std::string, Json::Value> by_kind;
    for (const Json::Value& d : direct) by_kind[d["kind"].asString()] = d;
    for (const Json::Value& d : listed)
        EXPECT_EQ(d, by_kind[d["kind"].asString()]) << d.toStyledString();

    // The program's devices are emulated: a command about real devices leaves it alone and
    // looks for them itself (none here).
    EXPECT_EQ(through_program({"rate", "mouse", "500"}).code, cli::kExitNoDevice);
}

TEST_F(CliThroughProgram, RefusedRequestsChangeNothing) {
    ASSERT_EQ(through_program({"--emulate", "rate", "mouse", "500"}).code, cli::kExitDone);
    const auto files = files_under(dir_.file("home"));
    const auto memory = mouse_->memory();
    const uint64_t mouse_writes = mouse_->command_count(6), pad_writes = pad_->command_count(6);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--emulate", "dpi", "mouse", "--stage", "2", "--value", "50"},
          {"--emulate", "light", "pad", "--mode", "9"},
          {"--emulate", "light", "mouse", "--colour", "GG0000"},
          {"--emulate", "rate", "pad", "1000"},
          {"--emulate", "profile", "apply", "mouse", "no such profile"},
          {"--emulate", "profile", "import", "mouse", dir_.file("missing.json")}}) {
        const Result r = through_program(args);
        EXPECT_EQ(r.code, cli::kExitUsage) << args[1] << " " << args[2] << "\n" << r.err;
        EXPECT_FALSE(r.err.empty());
    }
    EXPECT_EQ(through_program({"--emulate", "lift", "keyboard", "1"}).code, cli::kExitNoDevice);

    // Another program on the bus is checked as strictly as tellunectl checks.
    const QString path = QString::fromStdString(mouse_page()->ConnectedSlot().path);
    const auto call = [&](const QString& request) { return apply_from_bus(path, request); };
    for (const char* hostile :
         {"", "[]", "{\"what\":\"dpi\",\"stage\":9,\"step\":1}", "{\"what\":\"dpi\",\"stage\":1}",
          "{\"what\":\"dpi\",\"stage\":0,\"step\":140}", "{\"what\":\"rate\",\"rate\":\"3\"}",
          "{\"what\":\"lift\",\"lift\":-1}", "{\"what\":\"light\"}",
          "{\"what\":\"light\",\"colour\":\"12345\"}", "{\"what\":\"light\",\"mode\":256}",
          "{\"what\":\"format\"}"})
        EXPECT_NE(call(QString::fromLatin1(hostile)), 0) << hostile;

    EXPECT_EQ(files_under(dir_.file("home")), files);
    EXPECT_EQ(mouse_->memory(), memory);
    EXPECT_EQ(mouse_->command_count(6), mouse_writes);
    EXPECT_EQ(pad_->command_count(6), pad_writes);
}

TEST_F(CliThroughProgram, ProfilesThroughTheProgram) {
    // A profile with stage 1 at 3200 DPI (step 31), exported by hand from the current one.
    const std::string exported = dir_.file("out.json");
    ASSERT_EQ(through_program({"--emulate", "profile", "export", "mouse", exported}).code,
              cli::kExitDone);
    Json::Value doc = read_json(exported);
    ASSERT_TRUE(doc.isObject());
    doc["profilename"] = "Fast";
    doc["Device"][0]["DPIStages"]["StageDPIs"][0]["StageDPIX"] = 31;
    const std::string fast = dir_.file("fast.json");
    ASSERT_TRUE(write_json_file(fast, doc));

    const Result imported = through_program({"--emulate", "profile", "import", "mouse", fast});
    ASSERT_EQ(imported.code, cli::kExitDone) << imported.err;
    EXPECT_EQ(imported.out, "Fast\n");
    const Result listed = through_program({"--emulate", "--json", "profile", "list", "mouse"});
    ASSERT_EQ(listed.code, cli::kExitDone) << listed.err;
    const Json::Value list = parse(listed.out);
    ASSERT_EQ(list.size(), 2u) << listed.out;
    EXPECT_EQ(list[1]["name"].asString(), "Fast");
    EXPECT_FALSE(list[1]["selected"].asBool());

    mouse_->log().clear();
    const Result applied = through_program({"--emulate", "profile", "apply", "mouse", "Fast"});
    ASSERT_EQ(applied.code, cli::kExitDone) << applied.err;
    EXPECT_EQ(mouse_->memory()[15], 31) << "stage 1's step reached the mouse";
    CDeviceProfileUI* bar = find_profile_bar(mouse_page());
    EXPECT_EQ(bar->name(), "Fast");
    EXPECT_EQ(mouse_page()->findChild<QLineEdit*>(QStringLiteral("DPI_edit_0"))->text(), "3200");
}

// The function text of key list row `row` on `page`.
QString key_row_text(QWidget* page, int row) {
    auto* list = page->findChild<QListWidget*>(QStringLiteral("device_setkeyinfo_list"));
    if (!list || row >= list->count()) return {};
    QWidget* widget = list->itemWidget(list->item(row));
    auto* label = widget ? widget->findChild<QLabel*>(QStringLiteral("key_row_function")) : nullptr;
    return label ? label->toolTip() : QString();
}

// The macro page and the key panel's macro list follow the library.
void page_lists_macros(QWidget* page, const QStringList& names) {
    CMacroControlUI* macros = find_macro_control(page);
    ASSERT_NE(macros, nullptr);
    EXPECT_EQ(macros->names(), names);
    auto* combo = page->findChild<QComboBox*>(QStringLiteral("keyset_macro_combo"));
    ASSERT_NE(combo, nullptr);
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    EXPECT_EQ(items, names);
}

std::vector<uint8_t> slot_of(const std::vector<uint8_t>& table, size_t slot) {
    return {table.begin() + long(3 * slot), table.begin() + long(3 * slot + 3)};
}

// The page shows the key changes at once: the key panel, showing `ctrl_c` (selected), on the
// keyboard-key page with Ctrl; the list rows with `ctrl_c` changed and `macro` playing macro_1.
void page_shows_keys(QWidget* page, int ctrl_c, int macro) {
    auto* functions = page->findChild<QComboBox*>(QStringLiteral("keyset_function_combo"));
    ASSERT_NE(functions, nullptr);
    EXPECT_EQ(functions->currentData().toString(), "6");
    EXPECT_TRUE(key_row_text(page, macro).contains(QStringLiteral("macro_1")))
        << key_row_text(page, macro).toStdString();
    EXPECT_NE(key_row_text(page, ctrl_c), key_row_text(page, ctrl_c + 1));
}

TEST_F(CliThroughProgram, KeymapAndMacroImportGiveTheSameBytesAndShowOnThePage) {
    emulator::EmulatedBackend own;
    auto own_mouse = emulator::make_mouse();
    own.plug(own_mouse);
    const std::string source = dir_.file("reload.mac");
    {
        std::ofstream(source)
            << R"({"Events": [{"Action":"down","Button":4,"Type":10,"Delay":"300"},)"
               R"({"Action":"up","Button":4,"Type":10,"Delay":"5"}]})";
    }
    // The key panel shows side button 1 while its function changes from outside.
    CTarvexMouseDevice* page = mouse_page();
    page->select_key(3);

    const Result imported = through_program({"--emulate", "macro", "import", "mouse", source});
    ASSERT_EQ(imported.code, cli::kExitDone) << imported.err;
    EXPECT_EQ(imported.out, "macro_1\n");
    ASSERT_EQ(directly({"--emulate", "macro", "import", "mouse", source}, own).code,
              cli::kExitDone);
    const std::vector<uint8_t> area = mouse_->macro_area();
    EXPECT_EQ(area, own_mouse->macro_area());
    ASSERT_GE(area.size(), 30u);
    EXPECT_EQ(area[0], 0xAA);
    EXPECT_EQ(area[4], 1) << "one macro";
    page_lists_macros(page, {QStringLiteral("macro_1")});

    const std::vector<std::vector<std::string>> commands = {
        {"--emulate", "keymap", "mouse", "side1", "key:ctrl+c"},
        {"--emulate", "keymap", "mouse", "fire", "macro:macro_1,repeat=3"},
        {"--emulate", "keymap", "emu/mouse0", "2", "media:volume-up"},
    };
    same_keys_both_ways(commands, *mouse_, *own_mouse, own);
    // By hand: slot 3 Ctrl+C, slot 7 macro 0 three times, slot 1 consumer usage 0x00E9.
    const std::vector<uint8_t> keys = mouse_->key_table();
    ASSERT_EQ(keys.size(), 48u);
    EXPECT_EQ(slot_of(keys, 3), (std::vector<uint8_t>{0x20, 0x01, 0x06}));
    EXPECT_EQ(slot_of(keys, 7), (std::vector<uint8_t>{0x71, 0x00, 0x03}));
    EXPECT_EQ(slot_of(keys, 1), (std::vector<uint8_t>{0x30, 0xE9, 0x00}));
    page_shows_keys(page, 3, 7);
    // And the profile file the bar shows holds it.
    const Json::Value stored =
        read_json(find_profile_bar(page)->selected_profile_file())["Device"][0];
    EXPECT_NE(stored.toStyledString().find("KeyList"), std::string::npos);

    // Refused: a macro the library lacks, a button past the list, from any bus client.
    const auto files = files_under(dir_.file("home"));
    const std::vector<uint8_t> before = mouse_->key_table();
    EXPECT_EQ(through_program({"--emulate", "keymap", "mouse", "1", "macro:macro_2"}).code,
              cli::kExitUsage);
    EXPECT_EQ(through_program({"--emulate", "keymap", "mouse", "12", "key:a"}).code,
              cli::kExitUsage);
    EXPECT_EQ(
        through_program({"--emulate", "macro", "import", "mouse", dir_.file("none.mac")}).code,
        cli::kExitUsage);
    refused_from_bus(page,
                     {"{\"what\":\"keymap\",\"key\":0,\"type\":112,\"param1\":5,\"param2\":0}",
                      "{\"what\":\"keymap\",\"key\":40,\"default\":true}",
                      "{\"what\":\"keymap\",\"key\":0,\"type\":85,\"param1\":0,\"param2\":0}"});
    EXPECT_EQ(files_under(dir_.file("home")), files);
    EXPECT_EQ(mouse_->key_table(), before);
}

// A keyboard without Q (key 43) in its table, beside the mouse and the pad.
emulator::DeviceConfig keyboard_without_q() {
    emulator::DeviceConfig config = emulator::keyboard_config();
    config.key_table[3 * 43 + 2] = 0;
    return config;
}

class CliThroughProgramToKeyboard : public CliThroughProgram {
protected:
    void SetUp() override {
        backend_->plug(keyboard_);
        CliThroughProgram::SetUp();
        ASSERT_SOON(keyboard_page() && keyboard_page()->Protocol().connected() &&
                        keyboard_page()->Protocol().light().running(),
                    20000);
    }
    std::shared_ptr<emulator::EmulatedDevice> keyboard_ =
        std::make_shared<emulator::EmulatedDevice>(keyboard_without_q());
};

TEST_F(CliThroughProgramToKeyboard, KeymapAndMacrosGiveTheSameBytesAndShowOnThePage) {
    emulator::EmulatedBackend own;
    auto own_keyboard = std::make_shared<emulator::EmulatedDevice>(keyboard_without_q());
    own.plug(own_keyboard);
    const std::string source = dir_.file("burst.mac");
    std::ofstream(source) << R"({"Events": [{"Action":"down","Button":5,"Type":10,"Delay":"20"}]})";
    CTarvexKeyboardDevice* page = keyboard_page();
    page->select_key(64);  // A, whose function changes from outside

    // Both paths list the same keys: the board's, without Q and Fn.
    const Result listed = through_program({"--emulate", "--json", "keymap", "keyboard"});
    ASSERT_EQ(listed.code, cli::kExitDone) << listed.err;
    const Result own_list = directly({"--emulate", "--json", "keymap", "keyboard"}, own);
    EXPECT_EQ(parse(listed.out), parse(own_list.out));
    EXPECT_EQ(parse(listed.out).size(), 119u);

    ASSERT_EQ(through_program({"--emulate", "macro", "import", "keyboard", source}).out,
              "macro_1\n");
    ASSERT_EQ(directly({"--emulate", "macro", "import", "keyboard", source}, own).code,
              cli::kExitDone);
    EXPECT_EQ(keyboard_->macro_area(), own_keyboard->macro_area());
    EXPECT_EQ(keyboard_->macro_area()[4], 1) << "one macro";
    EXPECT_TRUE(mouse_->macro_area().empty() || mouse_->macro_area()[4] == 0)
        << "the mouse's library is another";
    page_lists_macros(page, {QStringLiteral("macro_1")});

    same_keys_both_ways({{"--emulate", "keymap", "keyboard", "a", "key:ctrl+c"},
                         {"--emulate", "keymap", "keyboard", "f1", "macro:macro_1,repeat=3"}},
                        *keyboard_, *own_keyboard, own);
    // By hand: A (key 64) in slot 64 is Ctrl+C; F1 (key 1) in slot 1 plays macro 0 three times.
    const std::vector<uint8_t> keys = keyboard_->key_table();
    ASSERT_EQ(keys.size(), 3u * 126);
    EXPECT_EQ(slot_of(keys, 64), (std::vector<uint8_t>{0x20, 0x01, 0x06}));
    EXPECT_EQ(slot_of(keys, 1), (std::vector<uint8_t>{0x71, 0x00, 0x03}));
    page_shows_keys(page, 64, 1);

    // Fn and the missing Q are refused on both paths, and from any bus client.
    const auto files = files_under(dir_.file("home"));
    const std::vector<uint8_t> before = keyboard_->key_table();
    for (const char* key : {"fn", "q"}) {
        EXPECT_EQ(through_program({"--emulate", "keymap", "keyboard", key, "key:b"}).code,
                  cli::kExitUsage)
            << key;
        EXPECT_EQ(directly({"--emulate", "keymap", "keyboard", key, "key:b"}, own).code,
                  cli::kExitUsage)
            << key;
    }
    refused_from_bus(page,
                     {"{\"what\":\"keymap\",\"key\":110,\"type\":32,\"param1\":0,\"param2\":5}",
                      "{\"what\":\"keymap\",\"key\":43,\"type\":32,\"param1\":0,\"param2\":5}",
                      "{\"what\":\"keymap\",\"key\":0,\"type\":19,\"param1\":1,\"param2\":0}"});
    EXPECT_EQ(files_under(dir_.file("home")), files);
    EXPECT_EQ(keyboard_->key_table(), before);
}

}  // namespace
}  // namespace tellune::ui

// The macro library and its files: default names, add, delete with the key list following,
// rename, save and load of events, import and export, and files that are damaged or hostile.

#include "core/macro/macro_library.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "core/macro/action_list.h"
#include "core/macro/macro_events.h"
#include "core/macro/macro_keys.h"
#include "core/profile/json_file.h"
#include "test_support/temp_dir.h"

namespace tellune::macro {
namespace {

void write_text(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool exists(const std::string& path) {
    return std::filesystem::exists(path);
}

class Library : public ::testing::Test {
protected:
    Library() {
        library_.set_stamp_source([this] { return "2024_01_02_03_04_05_" + std::to_string(++n_); });
    }
    std::string folder() const { return dir_.path().string() + "/"; }
    Json::Value config() { return read_json(dir_.file("macro.config")); }
    void write_config(const std::string& json) {
        write_text(dir_.file("macro.config"), json);
        library_.load();
    }

    TempDir dir_;
    MacroLibrary library_{dir_.path().string()};
    int n_ = 100;
};

TEST_F(Library, DefaultNamesFillTheFirstGapIgnoringCase) {
    write_config(R"({"MacroInfo": [{"MacroName": "macro_1", "Guid": "a"},
                                   {"MacroName": "macro_3", "Guid": "b"}]})");
    EXPECT_EQ(library_.default_name(), "macro_2");
    write_config(R"({"MacroInfo": [{"MacroName": "macro_1", "Guid": "a"},
                                   {"MacroName": "MACRO_2", "Guid": "c"},
                                   {"MacroName": "macro_3", "Guid": "b"}]})");
    EXPECT_EQ(library_.default_name(), "macro_4");
    EXPECT_EQ(library_.add(), "macro_4");
    EXPECT_EQ(library_.selected(), 3);
    // Appended to the file with a time stamp as its identifier; no event file yet.
    const Json::Value info = config()["MacroInfo"];
    ASSERT_EQ(info.size(), 4u);
    EXPECT_EQ(info[3]["MacroName"].asString(), "macro_4");
    EXPECT_EQ(info[3]["Guid"].asString(), "2024_01_02_03_04_05_101");
    EXPECT_FALSE(exists(dir_.file("2024_01_02_03_04_05_101.mac")));
    EXPECT_TRUE(library_.load_selected_events().empty());
}

TEST_F(Library, AddStopsAtFiftyAndKeepsOtherKeys) {
    write_config(R"({"Owner": "kept", "MacroInfo": [{"MacroName": "x", "Guid": "g", "Tag": 7}]})");
    for (int i = 1; i < kMaxMacros; ++i) ASSERT_FALSE(library_.add().empty()) << i;
    EXPECT_EQ(library_.size(), kMaxMacros);
    EXPECT_EQ(library_.add(), "");
    EXPECT_EQ(library_.size(), kMaxMacros);
    const Json::Value doc = config();
    EXPECT_EQ(doc["Owner"].asString(), "kept");
    EXPECT_EQ(doc["MacroInfo"][0]["Tag"].asInt(), 7);
    EXPECT_EQ(doc["MacroInfo"].size(), 50u);
}

TEST_F(Library, IdentifiersNeverRepeatWithinOneMillisecond) {
    library_.set_stamp_source([] { return std::string("2024_01_02_03_04_05_006"); });
    library_.add();
    library_.add();
    library_.add();
    EXPECT_EQ(library_.entry(0).guid, "2024_01_02_03_04_05_006");
    EXPECT_EQ(library_.entry(1).guid, "2024_01_02_03_04_05_006_1");
    EXPECT_EQ(library_.entry(2).guid, "2024_01_02_03_04_05_006_2");
}

TEST_F(Library, DeleteRemovesFileAndEntryAndKeysFollow) {
    library_.add();
    library_.add();
    library_.add();
    for (int i = 0; i < 3; ++i) {
        library_.select(i);
        ASSERT_TRUE(library_.save_selected(Json::Value(Json::arrayValue)));
    }
    const std::string second = library_.macro_file(1);
    const std::string third_guid = library_.entry(2).guid;
    ASSERT_TRUE(exists(second));

    // Key 0 plays macro 1, key 1 plays macro 2 five times, key 2 plays macro 0.
    std::vector<KeyAssignmentRecord> keys(4);
    keys[0] = {0, 0x70, 1, 2, 0, 0, 0x10, 0x01, 0, 0};
    keys[1] = {1, 0x71, 2, 5, 0, 1, 0x10, 0x02, 0, 0};
    keys[2] = {2, 0x70, 0, 0, 0, 2, 0x10, 0x04, 0, 0};
    keys[3] = {3, 0x20, 1, 4, 0, 3, 0x10, 0x08, 0, 0};
    EXPECT_EQ(keys_playing(keys, 1), 1);
    EXPECT_EQ(keys_playing(keys, 3), 0);

    library_.select(1);
    EXPECT_EQ(library_.remove_selected(), 1);
    EXPECT_TRUE(follow_deleted_macro(keys, 1));
    EXPECT_EQ(library_.selected(), -1);
    EXPECT_FALSE(exists(second));
    EXPECT_EQ(library_.size(), 2);
    EXPECT_EQ(library_.entry(1).guid, third_guid);
    EXPECT_EQ(config()["MacroInfo"][1]["Guid"].asString(), third_guid);
    // The key on the deleted macro is back to its default; the later macro moved to 1.
    EXPECT_EQ(keys[0].assignment(), 0x100100u);
    EXPECT_EQ(keys[1].assignment(), 0x710105u);
    EXPECT_EQ(keys[2].assignment(), 0x700000u);
    EXPECT_EQ(keys[3].assignment(), 0x200104u);
    EXPECT_FALSE(follow_deleted_macro(keys, 5));

    EXPECT_EQ(library_.remove_selected(), -1);  // nothing selected
}

TEST_F(Library, RenameRefusesBlankAndTakenNamesAndStoresAsTyped) {
    EXPECT_EQ(library_.rename_selected("x").index, -1);  // nothing selected
    library_.add();
    library_.add();
    library_.select(0);
    EXPECT_EQ(library_.rename_selected("   ").name, kRenameIsEmpty);
    EXPECT_EQ(library_.rename_selected("   ").index, -1);
    EXPECT_EQ(library_.rename_selected("").name, kRenameIsEmpty);
    // Its own name in other letter case, and the other macro's name, are taken.
    const MacroLibrary::RenameResult own = library_.rename_selected("MACRO_1");
    EXPECT_EQ(own.name, "");
    EXPECT_EQ(own.index, 0);
    EXPECT_EQ(library_.rename_selected("Macro_2").name, "");
    const MacroLibrary::RenameResult done = library_.rename_selected(" Fire  ");
    EXPECT_EQ(done.name, " Fire  ");
    EXPECT_EQ(done.index, 0);
    EXPECT_EQ(config()["MacroInfo"][0]["MacroName"].asString(), " Fire  ");
    // The file keeps the old name until the macro is saved again.
    library_.select(1);
    library_.save_selected(Json::Value(Json::arrayValue));
    library_.select(0);
    ASSERT_TRUE(library_.rename_selected("Jump").index == 0);
    EXPECT_EQ(read_json(library_.macro_file(1))["MacroName"].asString(), "macro_2");

    // Bytes that are no UTF-8 are kept as the file keeps them, so two such names that the
    // file would hold alike are one name.
    EXPECT_EQ(library_.rename_selected("a\xff").name, "a\xef\xbf\xbd");
    library_.select(1);
    EXPECT_EQ(library_.rename_selected("A\xfe").name, "");
    MacroLibrary again(folder());
    again.load();
    EXPECT_EQ(again.names(), library_.names());
}

TEST_F(Library, SavedEventsReadBackWithNameIdentifierAndVersion) {
    library_.add();
    Json::Value events(Json::arrayValue);
    events.append(make_event(kTypeKey, 0x04, true, 0));
    events.append(make_event(kTypeModifier, 1, false, 65535));
    ASSERT_TRUE(library_.save_selected(events));
    const Json::Value doc = read_json(library_.macro_file(0));
    EXPECT_EQ(doc["MacroName"].asString(), "macro_1");
    EXPECT_EQ(doc["Guid"].asString(), library_.entry(0).guid);
    EXPECT_EQ(doc["Version"].asInt(), 64);
    EXPECT_EQ(doc["Events"][0]["Delay"].asString(), "0");  // a string, as the files hold it
    EXPECT_EQ(doc["Events"][1]["Action"].asString(), "up");

    library_.load();
    library_.select(0);
    const Json::Value back = library_.load_selected_events();
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(event_delay(back[0]), 0);
    EXPECT_EQ(event_delay(back[1]), 65535);
    EXPECT_EQ(event_type(back[1]), kTypeModifier);
}

TEST_F(Library, ImportTakesTheNextDefaultNameAndTheFileUnchanged) {
    library_.add();
    const std::string source = dir_.file("shared.mac");
    const std::string text =
        R"({"MacroName": "Someone's", "Guid": "x", "Events": [{"Action": "down", "Button": 1, "Type": 1, "Delay": "7"}], "Version": 64})";
    write_text(source, text);
    std::string name;
    EXPECT_EQ(library_.import_file(source, &name), MacroLibrary::ImportResult::kImported);
    EXPECT_EQ(name, "macro_2");
    EXPECT_EQ(library_.selected(), 1);
    EXPECT_EQ(read_text(library_.macro_file(1)), text);
    ASSERT_EQ(library_.load_selected_events().size(), 1u);
    // The next save writes the library's name over the file's.
    library_.save_selected(library_.load_selected_events());
    EXPECT_EQ(read_json(library_.macro_file(1))["MacroName"].asString(), "macro_2");

    EXPECT_EQ(library_.import_file("", &name), MacroLibrary::ImportResult::kNoPath);
}

TEST_F(Library, ImportIntoAFullLibraryTouchesNothing) {
    for (int i = 0; i < kMaxMacros; ++i) library_.add();
    library_.select(7);
    library_.save_selected(Json::Value(Json::arrayValue));
    const std::string before = read_text(library_.macro_file(7));
    const std::string config_before = read_text(dir_.file("macro.config"));
    write_text(dir_.file("new.mac"), R"({"Events": [{"Type": 10, "Button": 5}]})");
    EXPECT_EQ(library_.import_file(dir_.file("new.mac")), MacroLibrary::ImportResult::kFull);
    EXPECT_EQ(read_text(library_.macro_file(7)), before);
    EXPECT_EQ(read_text(dir_.file("macro.config")), config_before);
    EXPECT_EQ(library_.selected(), 7);
}

TEST_F(Library, ImportRefusesWhatCannotBeReadBack) {
    write_text(dir_.file("list.mac"), "[1, 2, 3]");
    write_text(dir_.file("broken.mac"), "{\"Events\": [");
    EXPECT_EQ(library_.import_file(dir_.file("list.mac")), MacroLibrary::ImportResult::kUnreadable);
    EXPECT_EQ(library_.import_file(dir_.file("broken.mac")),
              MacroLibrary::ImportResult::kUnreadable);
    EXPECT_EQ(library_.import_file(dir_.file("missing.mac")),
              MacroLibrary::ImportResult::kUnreadable);
    EXPECT_EQ(library_.import_file(dir_.path().string()), MacroLibrary::ImportResult::kUnreadable);
    EXPECT_EQ(library_.size(), 0);
    EXPECT_FALSE(exists(dir_.file("macro.config")));
}

TEST_F(Library, ExportCopiesTheFileUnchangedAndNeedsASelection) {
    const std::string target = dir_.file("out.mac");
    EXPECT_FALSE(library_.export_selected(target));  // empty library
    library_.add();
    library_.add();
    library_.select(-1);
    EXPECT_FALSE(library_.export_selected(target));
    EXPECT_FALSE(exists(target));

    // A macro never saved exports as one without events.
    library_.select(1);
    ASSERT_TRUE(library_.export_selected(target));
    EXPECT_EQ(read_json(target)["MacroName"].asString(), "macro_2");
    EXPECT_TRUE(read_json(target)["Events"].isArray());

    const std::string text = "{\"Events\": [], \"Extra\": \"kept\"}\n";
    write_text(library_.macro_file(1), text);
    ASSERT_TRUE(library_.export_selected(target));
    EXPECT_EQ(read_text(target), text);
    // Round trip: the exported file imports as a new macro with the same events.
    std::string name;
    EXPECT_EQ(library_.import_file(target, &name), MacroLibrary::ImportResult::kImported);
    EXPECT_EQ(read_text(library_.macro_file(2)), text);
}

TEST_F(Library, HostileLibraryEntriesShowButReachNoFileOutside) {
    std::filesystem::create_directory(dir_.file("sub"));
    MacroLibrary inner(dir_.file("sub"));
    write_text(dir_.file("victim.mac"), "{\"Events\": [{\"Type\": 10}]}");
    write_text(dir_.file("sub/macro.config"),
               R"({"MacroInfo": [{"MacroName": "evil", "Guid": "../victim"},
                                 {"MacroName": 5, "Guid": ["x"]},
                                 "not an entry",
                                 {"MacroName": "fine", "Guid": "ok"}]})");
    inner.load();
    ASSERT_EQ(inner.size(), 4);
    EXPECT_EQ(inner.names(), (std::vector<std::string>{"evil", "", "macro_1", "fine"}));
    inner.select(0);
    EXPECT_EQ(inner.macro_file(0), "");
    EXPECT_TRUE(inner.load_selected_events().empty());
    EXPECT_FALSE(inner.save_selected(Json::Value(Json::arrayValue)));
    EXPECT_FALSE(inner.export_selected(dir_.file("copy.mac")));
    EXPECT_EQ(inner.remove_selected(), 0);
    EXPECT_TRUE(exists(dir_.file("victim.mac")));
    EXPECT_EQ(read_text(dir_.file("victim.mac")), "{\"Events\": [{\"Type\": 10}]}");
    // The damaged entries are written back as entries; the good one is unchanged.
    const Json::Value info = read_json(dir_.file("sub/macro.config"))["MacroInfo"];
    ASSERT_EQ(info.size(), 3u);
    EXPECT_EQ(info[2]["Guid"].asString(), "ok");
}

TEST_F(Library, RepeatedNamesShowApartAndEntriesPastFiftyStayInTheFile) {
    std::string info = R"x({"MacroName": "Fire", "Guid": "f1"}, {"MacroName": "FIRE", "Guid": "f2"},
                          {"MacroName": "fire (2)", "Guid": "f3"}, {"MacroName": "Fire", "Guid": "f4"})x";
    for (int i = 4; i < 52; ++i)
        info += R"(, {"MacroName": "m)" + std::to_string(i) + R"(", "Guid": "g)" +
                std::to_string(i) + R"(", "Keep": )" + std::to_string(i) + "}";
    write_config(R"({"MacroInfo": [)" + info + "]}");
    ASSERT_EQ(library_.size(), kMaxMacros);
    EXPECT_EQ(library_.entry(0).name, "Fire");
    EXPECT_EQ(library_.entry(1).name, "FIRE (2)");
    EXPECT_EQ(library_.entry(2).name, "fire (2) (2)");
    EXPECT_EQ(library_.entry(3).name, "Fire (3)");
    EXPECT_EQ(library_.entry(49).guid, "g49");
    EXPECT_EQ(library_.add(), "");

    // A rename writes the library: the shown names, and the two entries past the limit as
    // they were.
    library_.select(0);
    EXPECT_EQ(library_.rename_selected("Shot").index, 0);
    Json::Value stored = config()["MacroInfo"];
    ASSERT_EQ(stored.size(), 52u);
    EXPECT_EQ(stored[1]["MacroName"].asString(), "FIRE (2)");
    EXPECT_EQ(stored[50]["Guid"].asString(), "g50");
    EXPECT_EQ(stored[51]["Keep"].asInt(), 51);

    // Deleting one moves the first of them up, in the list as in the file.
    library_.select(3);
    EXPECT_EQ(library_.remove_selected(), 3);
    ASSERT_EQ(library_.size(), kMaxMacros);
    EXPECT_EQ(library_.entry(49).guid, "g50");
    stored = config()["MacroInfo"];
    ASSERT_EQ(stored.size(), 51u);
    EXPECT_EQ(stored[49]["Guid"].asString(), "g50");
    EXPECT_EQ(stored[50]["Guid"].asString(), "g51");
    MacroLibrary again(folder());
    again.load();
    EXPECT_EQ(again.names(), library_.names());
}

TEST_F(Library, DeletingOneOfTwoEntriesOfOneFileKeepsTheFile) {
    write_text(dir_.file("same.mac"), R"({"Events": [{"Type": 10, "Button": 4}]})");
    write_config(R"({"MacroInfo": [{"MacroName": "a", "Guid": "same"},
                                   {"MacroName": "b", "Guid": "same"}]})");
    library_.select(0);
    EXPECT_EQ(library_.remove_selected(), 0);
    EXPECT_TRUE(exists(dir_.file("same.mac")));
    library_.select(0);
    EXPECT_EQ(library_.load_selected_events().size(), 1u);
    EXPECT_EQ(library_.remove_selected(), 0);
    EXPECT_FALSE(exists(dir_.file("same.mac")));
}

TEST_F(Library, DamagedMacroFilesLoadWithoutEvents) {
    library_.add();
    const std::string file = library_.macro_file(0);
    for (const char* text : {"[]", "\"text\"", "{\"Events\": {\"a\": 1}}", "{\"Events\": 7}",
                             "{\"Events\": [", "", "\xff\xfe{"}) {
        write_text(file, text);
        EXPECT_TRUE(library_.load_selected_events().empty()) << text;
    }
    // Not a file at all: a folder, and a FIFO, which must not block the reader.
    std::filesystem::remove(file);
    std::filesystem::create_directory(file);
    EXPECT_TRUE(library_.load_selected_events().empty());
    std::filesystem::remove(file);
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    EXPECT_TRUE(library_.load_selected_events().empty());
    std::filesystem::remove(file);
    // A damaged file is moved aside before the macro is saved over it.
    write_text(file, "{\"Events\": [");
    EXPECT_TRUE(library_.save_selected(Json::Value(Json::arrayValue)));
    EXPECT_TRUE(read_json(file)["Events"].isArray());
}

// Files moved aside because they could not be read, in the test folder.
std::vector<std::string> damaged_files(const TempDir& dir) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        if (e.path().filename().string().find(".damaged-") != std::string::npos)
            out.push_back(e.path().filename().string());
    return out;
}

TEST_F(Library, HugeMacroFileIsRefusedAndKeptAside) {
    library_.add();
    // 10 MB: a valid macro of far more events than the editor or any device holds.
    std::string text = "{\"Events\": [";
    const std::string event = R"({"Action": "down", "Button": 4, "Type": 10, "Delay": "5"},)";
    while (text.size() < 10 * 1024 * 1024) text += event;
    text.back() = ']';
    text += "}";
    write_text(library_.macro_file(0), text);
    ActionList rows;
    rows.load(library_.load_selected_events());
    EXPECT_EQ(rows.size(), 0);
    // Saving the empty macro does not destroy what the user had.
    ASSERT_TRUE(library_.save_selected(rows.events_for_save()));
    EXPECT_LT(std::filesystem::file_size(library_.macro_file(0)), 1024u);
    const std::vector<std::string> aside = damaged_files(dir_);
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(std::filesystem::file_size(dir_.file(aside[0])), text.size());
    // Nor is it taken in as an import.
    EXPECT_EQ(library_.import_file(dir_.file(aside[0])), MacroLibrary::ImportResult::kTooLarge);
    EXPECT_EQ(library_.size(), 1);
}

TEST_F(Library, MissingOrDamagedLibraryIsEmptyAndTheNextAddCreatesIt) {
    library_.load();
    EXPECT_EQ(library_.size(), 0);
    EXPECT_EQ(library_.selected(), -1);
    write_config("{\"MacroInfo\": {\"MacroName\": \"x\"}}");
    EXPECT_EQ(library_.size(), 0);
    write_config("not json");
    EXPECT_EQ(library_.size(), 0);
    EXPECT_EQ(library_.add(), "macro_1");
    EXPECT_EQ(config()["MacroInfo"].size(), 1u);
    // The damaged library was kept aside, not written over.
    const std::vector<std::string> aside = damaged_files(dir_);
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(read_text(dir_.file(aside[0])), "not json");
}

TEST(LibraryNames, ThePadAndHeadsetListOnlyNames) {
    TempDir dir;
    EXPECT_TRUE(read_library_names(dir.file(kPadLibraryFileName)).empty());
    write_text(dir.file(kPadLibraryFileName),
               R"({"MacroInfo": [{"MacroName": "one"}, {"MacroName": 2}, {"MacroName": "三"}]})");
    EXPECT_EQ(read_library_names(dir.file(kPadLibraryFileName)),
              (std::vector<std::string>{"one", "", "三"}));
}

}  // namespace
}  // namespace tellune::macro

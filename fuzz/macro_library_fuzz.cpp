// The macro library over any "macro.config" and macro files. One input holds them all,
// separated by "\n--\n": the operations to run (raw bytes), then "macro.config", the files
// "m1.mac" .. "m4.mac" (the seeds' identifiers) and a file to import. Opening never throws;
// after it and after every operation the library shows at most 50 macros, with names unique
// without regard to letter case and files inside its folder, and a second reader of the
// folder sees the same library.

#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "core/macro/action_list.h"
#include "core/macro/macro_events.h"
#include "core/macro/macro_library.h"
#include "core/profile/json_file.h"
#include "core/profile/profile_list.h"
#include "fuzz/fuzz_support.h"

using namespace tellune;
using macro::MacroLibrary;

namespace {

struct Folders {
    std::string library = fuzz::scratch_subfolder("macro_library");
    std::string outside = fuzz::scratch_subfolder("macro_library_outside");
};

const Folders& folders() {
    static const Folders f;
    return f;
}

std::vector<std::string_view> split(std::string_view input) {
    constexpr std::string_view kSeparator = "\n--\n";
    std::vector<std::string_view> parts;
    for (;;) {
        const size_t at = input.find(kSeparator);
        if (at == std::string_view::npos) break;
        parts.push_back(input.substr(0, at));
        input.remove_prefix(at + kSeparator.size());
    }
    parts.push_back(input);
    return parts;
}

std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void set_up(MacroLibrary& library) {
    library.set_folder(folders().library);
    // Deterministic identifiers: the clock would make runs unrepeatable (and wait on it).
    library.set_stamp_source(
        [n = 0]() mutable { return "2024_01_01_00_00_00_" + std::to_string(n++); });
}

void check(const MacroLibrary& library) {
    FUZZ_CHECK(library.size() >= 0 && library.size() <= macro::kMaxMacros);
    FUZZ_CHECK(library.selected() >= -1 && library.selected() < library.size());
    for (int i = 0; i < library.size(); ++i) {
        for (int k = 0; k < i; ++k)
            FUZZ_CHECK(!profile_names_equal(library.entry(i).name, library.entry(k).name));
        const std::string file = library.macro_file(i);
        if (file.empty()) continue;
        FUZZ_CHECK(file.rfind(folders().library, 0) == 0);
        FUZZ_CHECK(file.find('/', folders().library.size()) == std::string::npos);
    }
    MacroLibrary again;
    set_up(again);
    again.load();
    FUZZ_CHECK(again.size() == library.size());
    for (int i = 0; i < library.size(); ++i) {
        FUZZ_CHECK(again.entry(i).name == library.entry(i).name);
        FUZZ_CHECK(again.entry(i).guid == library.entry(i).guid);
    }
}

// Every row of the selected macro: its look, and the events as the editor saves them.
void check_events(MacroLibrary& library) {
    const Json::Value events = library.load_selected_events();
    FUZZ_CHECK(events.isArray());
    macro::ActionList rows;
    rows.load(events);
    FUZZ_CHECK(rows.size() == std::min<int>(int(events.size()), macro::ActionList::kMaxRows));
    for (int i = 0; i < rows.size(); ++i) {
        // Any event has a look, a key row only with a key's name.
        const macro::EventLook look = macro::event_look(rows.row(i).event);
        if (look.keyboard && !look.name_id.empty())
            FUZZ_CHECK(look.name_id.rfind("keyboard_key_", 0) == 0);
    }
    const Json::Value saved = rows.events_for_save();
    FUZZ_CHECK(saved.isArray() && int(saved.size()) == rows.size());
    for (const Json::Value& e : saved) {
        // A saved delay is the decimal text a reader takes back unchanged.
        const Json::Value& delay = e["Delay"];
        FUZZ_CHECK(delay.isString());
        FUZZ_CHECK(std::to_string(macro::event_delay(e)) == delay.asString());
    }
    if (library.save_selected(saved)) {
        // What the program reads of each event comes back as saved. Text that is no UTF-8
        // in a key or value it does not read may come back changed once, then stays.
        const Json::Value back = library.load_selected_events();
        FUZZ_CHECK(back.size() == saved.size());
        for (Json::ArrayIndex i = 0; i < back.size(); ++i) {
            FUZZ_CHECK(macro::event_type(back[i]) == macro::event_type(saved[i]));
            FUZZ_CHECK(macro::event_button(back[i]) == macro::event_button(saved[i]));
            FUZZ_CHECK(macro::event_down(back[i]) == macro::event_down(saved[i]));
            FUZZ_CHECK(macro::event_delay(back[i]) == macro::event_delay(saved[i]));
        }
        FUZZ_CHECK(library.save_selected(back));
        FUZZ_CHECK(library.load_selected_events() == back);
        const Json::Value doc = read_json(library.macro_file(library.selected()));
        FUZZ_CHECK(json_get(doc, "MacroName").asString() == library.selected_entry()->name);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& folder = folders().library;
    fuzz::empty_folder(folder);
    fuzz::empty_folder(folders().outside);
    const std::vector<std::string_view> parts = split({reinterpret_cast<const char*>(data), size});
    const std::string_view ops = parts[0];
    const char* files[] = {"macro.config", "m1.mac", "m2.mac", "m3.mac", "m4.mac"};
    for (size_t i = 0; i < std::size(files) && i + 1 < parts.size(); ++i)
        fuzz::write_text(folder + files[i], parts[i + 1]);
    const std::string import_path = folders().outside + "import.mac";
    if (parts.size() > std::size(files) + 1) fuzz::write_text(import_path, parts.back());

    MacroLibrary library;
    set_up(library);
    library.load();
    check(library);

    size_t pos = 0;
    auto byte = [&] { return pos < ops.size() ? uint8_t(ops[pos++]) : uint8_t{0}; };
    // Each operation rereads the whole folder; a few dozen reach every state worth reaching
    // and keep the runs fast.
    for (int step = 0; step < 48 && pos < ops.size(); ++step) {
        const int before = library.size();
        switch (byte() % 7) {
            case 0: {
                const std::string name = library.add();
                FUZZ_CHECK(name.empty() == (before >= macro::kMaxMacros));
                if (!name.empty()) {
                    FUZZ_CHECK(library.size() == before + 1);
                    FUZZ_CHECK(library.selected() == before && library.entry(before).name == name);
                }
                break;
            }
            case 1: {
                library.select(int(byte()) % (before + 1));
                const int selected = library.selected();
                const std::string file = library.macro_file(selected);
                FUZZ_CHECK(library.remove_selected() == selected);
                if (selected >= 0) FUZZ_CHECK(library.size() <= before);
                FUZZ_CHECK(library.selected() == -1);
                break;
            }
            case 2: {
                library.select(int(byte()) % (before + 1));
                std::string name;
                const uint8_t how = byte();
                if (how % 4 == 0 && before > 0) {
                    // Another macro's name in other letter case.
                    name = library.entry(int(byte()) % before).name;
                    for (char& c : name) c = char(c >= 'a' && c <= 'z' ? c - 32 : c);
                } else {
                    const size_t length = byte() % 12;
                    for (size_t i = 0; i < length; ++i) name.push_back(char(byte()));
                }
                const std::vector<std::string> names = library.names();
                const int selected = library.selected();
                const MacroLibrary::RenameResult r = library.rename_selected(name);
                if (r.name.empty() || r.name == macro::kRenameIsEmpty) {
                    FUZZ_CHECK(library.names() == names);
                } else {
                    FUZZ_CHECK(r.index == selected);
                    FUZZ_CHECK(library.entry(selected).name == valid_utf8(name));
                }
                break;
            }
            case 3: {
                const uint8_t which = byte() % 3;
                const std::string path = which == 0   ? import_path
                                         : which == 1 ? folders().outside + "missing.mac"
                                                      : std::string();
                std::string name;
                const MacroLibrary::ImportResult r = library.import_file(path, &name);
                if (r == MacroLibrary::ImportResult::kImported) {
                    FUZZ_CHECK(library.size() == before + 1 && library.selected() == before);
                    FUZZ_CHECK(library.entry(before).name == name);
                    FUZZ_CHECK(file_bytes(library.macro_file(before)) == file_bytes(path));
                } else {
                    FUZZ_CHECK(library.size() == before);
                }
                if (before >= macro::kMaxMacros && !path.empty())
                    FUZZ_CHECK(r == MacroLibrary::ImportResult::kFull);
                break;
            }
            case 4: {
                library.select(int(byte()) % (before + 1));
                const std::string out = folders().outside + "export.mac";
                const std::string file = library.macro_file(library.selected());
                const bool had_file = !file.empty() && !file_bytes(file).empty();
                if (library.export_selected(out) && had_file)
                    FUZZ_CHECK(file_bytes(out) == file_bytes(file));
                break;
            }
            case 5: {
                library.select(int(byte()) % (before + 1));
                check_events(library);
                break;
            }
            case 6: {
                const std::vector<std::string> names = library.names();
                library.load();
                FUZZ_CHECK(library.names() == names);
                break;
            }
        }
        check(library);
    }
    return 0;
}

// "ProfileList.ini" of any content. Loading always succeeds and leaves a usable list: at least
// one entry, a selection inside it, distinct UUIDs that name files inside the folder. What the
// list wrote reads back the same, after loading and after every operation.

#include <set>
#include <string>

#include "core/profile/profile_list.h"
#include "fuzz/fuzz_support.h"

namespace {

using tellune::ProfileList;

struct Folders {
    std::string user = tellune::fuzz::scratch_subfolder("profile_list");
    std::string default_profile = tellune::fuzz::default_data_folder() + "mouse.Json";
};

const Folders& folders() {
    static const Folders f;
    return f;
}

void set_up(ProfileList& list) {
    list.set_kind(2);
    list.set_paths(folders().user, folders().default_profile);
    // Deterministic, distinct UUIDs: the clock would make runs unrepeatable.
    list.set_stamp_source(
        [n = 0]() mutable { return "2024_01_01_00_00_00_" + std::to_string(n++); });
}

void check(const ProfileList& list) {
    FUZZ_CHECK(list.size() >= 1);
    FUZZ_CHECK(list.current_index() >= 0 && list.current_index() < list.size());
    FUZZ_CHECK(list.selected_uuid() == list.entries()[size_t(list.current_index())].uuid);
    std::set<std::string> uuids;
    for (const tellune::ProfileEntry& e : list.entries()) {
        const std::string file = list.profile_file(e.uuid);
        FUZZ_CHECK(!file.empty());
        FUZZ_CHECK(file.rfind(folders().user, 0) == 0);
        FUZZ_CHECK(file.find('/', folders().user.size()) == std::string::npos);
        FUZZ_CHECK(uuids.insert(e.uuid).second);
    }
    // A second reader of the folder sees the same list and selection.
    ProfileList again;
    set_up(again);
    FUZZ_CHECK(again.init());
    FUZZ_CHECK(again.size() == list.size());
    for (size_t i = 0; i < list.entries().size(); ++i) {
        FUZZ_CHECK(again.entries()[i].name == list.entries()[i].name);
        FUZZ_CHECK(again.entries()[i].uuid == list.entries()[i].uuid);
    }
    FUZZ_CHECK(again.current_index() == list.current_index());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tellune::fuzz::empty_folder(folders().user);
    tellune::fuzz::write_bytes(folders().user + tellune::kProfileListFileName, data, size);
    ProfileList list;
    set_up(list);
    FUZZ_CHECK(list.init());
    check(list);

    list.add();
    check(list);
    list.copy();
    check(list);
    const int renamed = list.rename("Renamed");
    FUZZ_CHECK(renamed == ProfileList::kRenameDone || renamed == ProfileList::kRenameNameUsed);
    check(list);
    list.select(list.size() - 1);
    check(list);
    const int before = list.size();
    list.remove();
    FUZZ_CHECK(list.size() == (before > 1 ? before - 1 : before));
    check(list);
    return 0;
}

#include "core/profile/profile_commands.h"

#include <json/json.h>

#include <charconv>

#include "core/profile/json_file.h"

namespace tellune {
namespace {

ProfileCommandResult usage(std::string message) {
    ProfileCommandResult r;
    r.code = 2;
    r.error = std::move(message);
    return r;
}

std::string styled(const Json::Value& v) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "  ";
    return Json::writeString(builder, v) + "\n";
}

// The entry named `text` (names compare as the list compares them), else a number from 1.
int entry_index(const ProfileList& list, const std::string& text) {
    const auto entries = list.entries();
    for (size_t i = 0; i < entries.size(); ++i)
        if (profile_names_equal(entries[i].name, text)) return int(i);
    int n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec == std::errc() && end == text.data() + text.size() && n >= 1 && n <= list.size())
        return n - 1;
    return -1;
}

}  // namespace

ProfileCommandResult run_profile_command(ProfileList& list, const std::vector<std::string>& args,
                                         bool json) {
    if (args.empty()) return usage("profile needs an action: list, show, apply, export, import");
    const std::string& action = args[0];
    ProfileCommandResult r;
    if (action == "list") {
        if (args.size() != 1) return usage("profile list takes no more arguments");
        Json::Value all(Json::arrayValue);
        const auto entries = list.entries();
        for (size_t i = 0; i < entries.size(); ++i) {
            Json::Value e;
            e["index"] = int(i) + 1;
            e["name"] = entries[i].name;
            e["uuid"] = entries[i].uuid;
            e["selected"] = int(i) == list.current_index();
            all.append(e);
        }
        if (json) {
            r.output = styled(all);
        } else {
            for (const Json::Value& e : all)
                r.output += (e["selected"].asBool() ? "* " : "  ") +
                            std::to_string(e["index"].asInt()) + "\t" + e["name"].asString() +
                            "\t" + e["uuid"].asString() + "\n";
        }
        return r;
    }
    if (action == "show") {
        if (args.size() > 2) return usage("profile show takes at most one NAME");
        int index = list.current_index();
        if (args.size() == 2 && (index = entry_index(list, args[1])) < 0)
            return usage("no such profile: " + args[1]);
        JsonFileState state = JsonFileState::kRead;
        const Json::Value doc =
            read_json(list.profile_file(list.entries()[size_t(index)].uuid), &state);
        if (state != JsonFileState::kRead) {
            r.code = 1;
            r.error = "the profile file cannot be read";
            return r;
        }
        r.output = styled(doc);
        return r;
    }
    if (action == "apply") {
        if (args.size() != 2) return usage("profile apply needs one NAME");
        const int index = entry_index(list, args[1]);
        if (index < 0) return usage("no such profile: " + args[1]);
        // The selection is stored even when only memory keeps it: the device still takes it.
        list.select(index);
        r.apply = true;
        return r;
    }
    if (action == "export") {
        if (args.size() != 2) return usage("profile export needs one FILE");
        if (!list.export_profile(args[1])) {
            r.code = 1;
            r.error = "cannot write " + args[1];
        }
        return r;
    }
    if (action == "import") {
        if (args.size() != 2) return usage("profile import needs one FILE");
        // Checked before the list is touched, so a refused file changes nothing.
        JsonFileState state = JsonFileState::kRead;
        const Json::Value doc = read_json(args[1], &state);
        if (state == JsonFileState::kTooLarge)
            return usage(args[1] + " is too large for a profile");
        if (state != JsonFileState::kRead || !is_importable_profile(doc))
            return usage(args[1] + " is not a profile");
        const int index = list.import_profile(args[1]);
        if (index < 0) {
            r.code = 1;
            r.error = "cannot import " + args[1] + " (the list is full or cannot be written)";
            return r;
        }
        r.output = list.entries()[size_t(index)].name + "\n";
        return r;
    }
    return usage("unknown profile action " + action);
}

}  // namespace tellune

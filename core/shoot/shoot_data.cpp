#include "core/shoot/shoot_data.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "core/platform/files.h"
#include "core/profile/json_file.h"

namespace tellune::shoot {
namespace {

constexpr char kEventsKey[] = "Events";
constexpr int kTypeButton = 1;
constexpr int kTypeMoveX = 4;
constexpr int kTypeMoveY = 5;
constexpr int kLeftButton = 1;

std::string with_slash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

int clamp_gun(int gun) {
    return std::clamp(gun, 0, kGuns - 1);
}
int clamp_bullet(int bullet) {
    return std::clamp(bullet, 0, kBullets - 1);
}

Json::Value event(bool down, int button, int delay, int type) {
    Json::Value e(Json::objectValue);
    e["Action"] = down ? "down" : "up";
    e["Button"] = button;
    e["Delay"] = delay;
    e["Type"] = type;
    return e;
}

// "down" in any letter case.
bool is_down(const Json::Value& event) {
    const std::string action = json_string(json_get(event, "Action"));
    if (action.size() != 4) return false;
    return std::equal(action.begin(), action.end(), "down",
                      [](char a, char b) { return std::tolower((unsigned char)a) == b; });
}

// "Delay" as an integer; the macro files' decimal text is taken too.
int delay_of(const Json::Value& event) {
    const Json::Value& d = json_get(event, "Delay");
    if (d.isString()) return edit_number(d.asString(), kMaxPause);
    return std::clamp(json_int(d), 0, kMaxPause);
}

bool read_document(const std::string& path, Json::Value& doc, JsonFileState& state) {
    doc = read_json(path, &state);
    return is_shoot_document(doc);
}

}  // namespace

std::string shoot_file_name(int gun) {
    return "ShootData_" + std::to_string(gun) + ".Shoot";
}

bool is_shoot_document(const Json::Value& document) {
    return document.isObject() && json_get(document, kEventsKey).isArray();
}

Bullet read_bullet(const Json::Value& document, int bullet) {
    const Json::Value& events = json_get(document, kEventsKey);
    const int first = kEventsPerBullet * clamp_bullet(bullet);
    const Json::Value& mx = json_get(events, first + 2);
    const Json::Value& my = json_get(events, first + 3);
    Bullet b;
    b.left = is_down(mx);
    b.x = std::clamp(json_int(json_get(mx, "Button")), 0, kMaxCorrection);
    b.up = is_down(my);
    b.y = std::clamp(json_int(json_get(my, "Button")), 0, kMaxCorrection);
    b.pause = delay_of(my);
    return b;
}

void write_bullet(Json::Value& document, int bullet, const Bullet& values) {
    if (!document.isObject()) document = Json::Value(Json::objectValue);
    Json::Value& events = json_slot(document, kEventsKey);
    if (!events.isArray()) events = Json::Value(Json::arrayValue);
    const int first = kEventsPerBullet * clamp_bullet(bullet);
    while (int(events.size()) < first) events.append(event(false, 0, 0, kTypeMoveX));
    const int x = std::clamp(values.x, 0, kMaxCorrection);
    const int y = std::clamp(values.y, 0, kMaxCorrection);
    const int pause = std::clamp(values.pause, 0, kMaxPause);
    json_slot(events, first) = event(true, kLeftButton, kPressDelay, kTypeButton);
    json_slot(events, first + 1) = event(false, kLeftButton, 0, kTypeButton);
    json_slot(events, first + 2) = event(values.left, x, kMoveXDelay, kTypeMoveX);
    json_slot(events, first + 3) = event(values.up, y, pause, kTypeMoveY);
    json_slot(events, first + 4) = event(values.left, 0, 0, kTypeMoveX);
    json_slot(events, first + 5) = event(values.up, 0, 0, kTypeMoveY);
}

Pattern read_pattern(const Json::Value& document) {
    Pattern pattern;
    for (int b = 0; b < kBullets; ++b) pattern[size_t(b)] = read_bullet(document, b);
    return pattern;
}

std::vector<PathPoint> correction_path(std::span<const Bullet> bullets) {
    std::vector<PathPoint> path;
    path.reserve(bullets.size() + 1);
    PathPoint at;
    path.push_back(at);
    for (const Bullet& b : bullets) {
        at.x += b.left ? -b.x : b.x;
        at.y += b.up ? -b.y : b.y;
        path.push_back(at);
    }
    return path;
}

int edit_number(std::string_view text, int max) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    if (text.empty() ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    if (negative) return 0;
    unsigned long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc::result_out_of_range) return max;
    if (ec != std::errc() || end != text.data() + text.size()) return 0;
    return value > static_cast<unsigned long long>(max) ? max : static_cast<int>(value);
}

ShootData::ShootData(std::string folder, std::string default_folder)
    : folder_(with_slash(std::move(folder))),
      default_folder_(with_slash(std::move(default_folder))) {}

std::string ShootData::gun_file(int gun) const {
    return folder_ + shoot_file_name(clamp_gun(gun));
}

std::string ShootData::default_file(int gun) const {
    return default_folder_ + shoot_file_name(clamp_gun(gun));
}

Bullet ShootData::load(int gun, int bullet) const {
    return read_bullet(read_json(gun_file(gun)), bullet);
}

Pattern ShootData::load_pattern(int gun) const {
    return read_pattern(read_json(gun_file(gun)));
}

bool ShootData::save(int gun, int bullet, const Bullet& values) const {
    const std::string file = gun_file(gun);
    Json::Value doc;
    JsonFileState state;
    if (!read_document(file, doc, state)) {
        // Something we cannot read back is kept aside rather than written over.
        if ((is_damaged(state) || state == JsonFileState::kRead) &&
            move_aside_damaged(file).empty())
            return false;
        if (!doc.isObject()) doc = Json::Value(Json::objectValue);
    }
    write_bullet(doc, bullet, values);
    return write_json_file(file, doc);
}

bool ShootData::reset(int gun) const {
    JsonFileState state;
    const std::string text = readjsonFile(default_file(gun), &state);
    // Copying a missing default would leave the gun with nothing at all.
    if (text.empty() || !is_shoot_document(parse_json(text))) return false;
    return write_file_atomic(gun_file(gun), text);
}

int ShootData::install_defaults() const {
    int reset_count = 0;
    for (int g = 0; g < kGuns; ++g) {
        Json::Value doc;
        JsonFileState state;
        const std::string file = gun_file(g);
        if (read_document(file, doc, state)) continue;
        if ((is_damaged(state) || state == JsonFileState::kRead) &&
            move_aside_damaged(file).empty())
            continue;
        if (reset(g)) ++reset_count;
    }
    return reset_count;
}

ShootData::ImportResult ShootData::import_file(int gun, const std::string& path) const {
    if (path.empty()) return ImportResult::kNoPath;
    JsonFileState state;
    const std::string text = readjsonFile(path, &state);
    if (state == JsonFileState::kTooLarge) return ImportResult::kTooLarge;
    // Checked before anything is written: a file we could not load must not replace a pattern.
    if (text.empty() || !is_shoot_document(parse_json(text))) return ImportResult::kNotShootFile;
    return write_file_atomic(gun_file(gun), text) ? ImportResult::kImported
                                                  : ImportResult::kWriteFailed;
}

bool ShootData::export_file(int gun, const std::string& path) const {
    if (path.empty()) return false;
    JsonFileState state;
    const std::string text = readjsonFile(gun_file(gun), &state);
    if (state != JsonFileState::kRead) return false;
    return write_file_atomic(path, text);
}

}  // namespace tellune::shoot

#pragma once
// Recoil patterns: one "ShootData_<g>.Shoot" file per gun (four guns) in the mouse's data
// folder, each a JSON object whose "Events" array holds 30 bullets of six macro events:
//
//   6b    left press          "down", button 1, delay 10, type 1
//   6b+1  left release        "up",   button 1, delay 0,  type 1
//   6b+2  horizontal move     "down" left / "up" right, distance, delay 5, type 4
//   6b+3  vertical move       "down" up / "up" down, distance, the bullet's pause, type 5
//   6b+4  zero horizontal     same direction, 0, delay 0, type 4
//   6b+5  zero vertical       same direction, 0, delay 0, type 5
//
// "Delay" is a JSON integer here. The mouse downloads the files as they are, so saving a
// bullet touches its six events only and keeps every other key and event of the file.
// Files are user data: readers never throw and read what is missing as "up" and 0.

#include <json/json.h>

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tellune::shoot {

inline constexpr int kGuns = 4;
inline constexpr int kBullets = 30;
inline constexpr int kEventsPerBullet = 6;

// Largest values the mouse can carry: a move distance is one byte, a pause 16 bits.
inline constexpr int kMaxCorrection = 255;
inline constexpr int kMaxPause = 65535;

// Fixed delays of the press and of the horizontal move.
inline constexpr int kPressDelay = 10;
inline constexpr int kMoveXDelay = 5;

// "ShootData_<gun>.Shoot".
std::string shoot_file_name(int gun);

struct Bullet {
    bool left = false;  // horizontal move to the left ("down"); else right
    int x = 0;          // horizontal correction
    bool up = false;    // vertical move up ("down"); else down
    int y = 0;          // vertical correction
    int pause = 0;      // milliseconds after the bullet
    bool operator==(const Bullet&) const = default;
};

// Bullet `bullet` of a shoot document: events 6b+2 and 6b+3 only.
Bullet read_bullet(const Json::Value& document, int bullet);
// Replaces the six events of `bullet` (0..29) in `document`, turning it into an object with
// an "Events" array first when it is not one. Events before the bullet that the array lacks
// become zero moves, which the mouse plays as nothing. Values are clamped to what the mouse
// carries.
void write_bullet(Json::Value& document, int bullet, const Bullet& values);

using Pattern = std::array<Bullet, kBullets>;

// Every bullet of a shoot document.
Pattern read_pattern(const Json::Value& document);

// A point of the path the corrections pull the pointer along: x grows to the right, y
// downwards, as on the screen.
struct PathPoint {
    int x = 0;
    int y = 0;
    bool operator==(const PathPoint&) const = default;
};
// Where the pointer stands after each bullet's correction, from (0, 0) before the first:
// one point more than there are bullets.
std::vector<PathPoint> correction_path(std::span<const Bullet> bullets);

// The number an edit holds: optional blanks, an optional sign and decimal digits, nothing
// else; anything else is 0. Clamped to 0..max.
int edit_number(std::string_view text, int max);

// A document the program accepts as a shoot file: a JSON object with an "Events" array.
bool is_shoot_document(const Json::Value& document);

class ShootData {
public:
    enum class ImportResult {
        kImported,
        kNoPath,        // nothing chosen
        kTooLarge,      // over the size every data file is held to
        kNotShootFile,  // not a JSON object with an "Events" array; the gun's file is untouched
        kWriteFailed,
    };

    // `folder`: the mouse's data folder; `default_folder`: the shipped defaults. A trailing
    // '/' is added to each when missing.
    ShootData(std::string folder, std::string default_folder);

    std::string gun_file(int gun) const;
    std::string default_file(int gun) const;

    Bullet load(int gun, int bullet) const;
    Pattern load_pattern(int gun) const;
    // Rewrites the bullet's six events. A file that cannot be read is moved aside first.
    bool save(int gun, int bullet, const Bullet& values) const;

    // Copies the default of the gun over its file, unchanged. A default that cannot be read
    // leaves the gun's file as it is and gives false.
    bool reset(int gun) const;
    // Resets every gun whose file is missing, empty or no shoot file (a damaged one is moved
    // aside first). Returns how many were reset.
    int install_defaults() const;

    // Copies `path` over the gun's file unchanged, when it is a shoot file.
    ImportResult import_file(int gun, const std::string& path) const;
    // Copies the gun's file unchanged to `path`; false when there is none or the write failed.
    bool export_file(int gun, const std::string& path) const;

private:
    std::string folder_;
    std::string default_folder_;
};

}  // namespace tellune::shoot

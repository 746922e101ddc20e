#pragma once
// Whole-document JSON files (profiles, light presets, every ".Json"/".ini"/".config" file) and
// type-safe access to their values.
//
// Hand-edited or damaged files are normal input here, and JsonCpp throws or asserts when a
// value has another type than the accessor expects. Every reader in core/profile goes through
// the helpers below so that a value of the wrong type reads as missing and nothing throws.

#include <json/json.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tellune {

// What became of reading a data file.
enum class JsonFileState {
    kRead,        // parsed (read_json) or read whole (readjsonFile)
    kMissing,     // nothing at the path, or a link to nothing
    kEmpty,       // a file with nothing in it
    kNotAFile,    // a folder, FIFO, device or the like
    kTooLarge,    // over kMaxJsonFileSize, or it grew past it while being read
    kUnreadable,  // could not be opened or read
    kNotJson,     // does not parse, nests too deeply or holds more than kMaxJsonValues
};

// True when the file held something that could not be read: moving it aside loses nothing,
// writing over it would.
bool is_damaged(JsonFileState state);

// The whole file, or an empty string when it cannot be opened, is not a regular file, is
// larger than kMaxJsonFileSize or cannot be read completely. Never holds more than 64 KiB
// over kMaxJsonFileSize at any moment, even for a file that grows while it is read.
std::string readjsonFile(const std::string& path, JsonFileState* state = nullptr);

// The parsed document (comments collected), or a null value when the file is empty,
// unreadable, too large or not JSON. Never throws.
Json::Value read_json(const std::string& path, JsonFileState* state = nullptr);
// The same for text in memory (an empty text is not JSON).
Json::Value parse_json(std::string_view text, JsonFileState* state = nullptr);

// Writes `value` in the styled layout, atomically. Always returns 0: callers of the file
// layer do not act on write failures. Use write_json_file to learn the outcome.
int write_json(const std::string& path, const Json::Value& value);
// Same write; false when the file could not be replaced (the old file is then kept), and
// when the styled text would be over kMaxJsonFileSize or kMaxJsonValues: a file we would
// refuse to read back must never replace a good one.
bool write_json_file(const std::string& path, const Json::Value& value);

// Styled text of a value, as write_json stores it.
std::string styled_json(const Json::Value& value);

// Data files bigger than this are refused, read or written. The largest real ones stay far
// below: a keyboard profile is about 40 KB, a list of 1000 profiles about 170 KB, and a macro
// filling the largest macro area a device can report (255 x 128 bytes, some 8000 events)
// about 900 KB in the styled layout.
inline constexpr std::int64_t kMaxJsonFileSize = 4 * 1024 * 1024;

// Parsed, every value, object key and comment costs the JSON library about 100 bytes,
// whatever its length in the text ("[0,0,0,...]" would take 50 bytes per byte of file). A
// document with more of them is refused before it is parsed, which keeps reading any file
// below 100 MB. A list of 40 000 profiles needs 400 000.
inline constexpr std::int64_t kMaxJsonValues = 512 * 1024;
// Values, keys and comments of a JSON text as the limit above counts them (an estimate for
// text that is not JSON). Containers count twice: each holds its own table.
std::int64_t count_json_values(std::string_view text);

// Largest array index the writers will create. A hostile index (a group number of 2e9 read
// from a file) would otherwise make JsonCpp serialise billions of nulls.
inline constexpr int kMaxJsonIndex = 4096;

// --- Reading: a missing key, an index out of range or a value of the wrong type all give
// a null value (or the fallback), never an exception.

// v[key] when v is an object holding key, else a null value.
const Json::Value& json_get(const Json::Value& v, const char* key);
// v[index] when v is an array longer than index, else a null value. Negative = missing.
const Json::Value& json_get(const Json::Value& v, int index);

// Integers, integral doubles and booleans as int. A double is truncated towards zero.
// Anything else, and numbers outside the int range, give `fallback`.
int json_int(const Json::Value& v, int fallback = 0);
// Booleans and numbers (non-zero = true); anything else gives `fallback`.
bool json_bool(const Json::Value& v, bool fallback = false);
// Strings only; anything else gives `fallback`. Bytes that are not UTF-8 read as U+FFFD, as
// the writer would store them, so a string read and written back reads the same again.
std::string json_string(const Json::Value& v, const std::string& fallback = {});

// Well-formed UTF-8: no stray or missing continuation bytes, overlong forms, surrogates or
// code points above U+10FFFF.
bool is_valid_utf8(std::string_view text);
// `text` with every byte that starts no well-formed UTF-8 sequence replaced by U+FFFD.
std::string valid_utf8(std::string_view text);

// --- Writing: the container is turned into the right kind first, replacing a value of the
// wrong type (which readers would ignore anyway), so operator[] cannot throw.

// v[key]; v becomes an object when it is not one.
Json::Value& json_slot(Json::Value& v, const char* key);
// v[index]; v becomes an array when it is not one. index must be 0..kMaxJsonIndex.
Json::Value& json_slot(Json::Value& v, int index);

}  // namespace tellune

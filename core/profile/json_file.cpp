#include "core/profile/json_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>

#include "core/platform/files.h"
#include "core/platform/platform.h"

namespace tellune {
namespace {

const Json::Value& null_value() {
    static const Json::Value null;
    return null;
}

}  // namespace

namespace {

// Length of the well-formed UTF-8 sequence at `i`, or 0 when the byte there starts none (a
// stray or missing continuation byte, an overlong form, a surrogate, above U+10FFFF).
size_t utf8_sequence(std::string_view text, size_t i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) return 1;
    size_t length = 0;
    char32_t cp = 0, min = 0;
    if (b >= 0xC2 && b < 0xE0) {
        length = 2, cp = b & 0x1F, min = 0x80;
    } else if (b >= 0xE0 && b < 0xF0) {
        length = 3, cp = b & 0x0F, min = 0x800;
    } else if (b >= 0xF0 && b < 0xF5) {
        length = 4, cp = b & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - i < length) return 0;
    for (size_t k = 1; k < length; ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xC0) != 0x80) return 0;
        cp = cp << 6 | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return length;
}

}  // namespace

bool is_valid_utf8(std::string_view text) {
    for (size_t i = 0, n = 0; i < text.size(); i += n)
        if ((n = utf8_sequence(text, i)) == 0) return false;
    return true;
}

std::string valid_utf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t n = utf8_sequence(text, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";  // U+FFFD
            ++i;
        } else {
            out.append(text.substr(i, n));
            i += n;
        }
    }
    return out;
}

bool is_damaged(JsonFileState state) {
    return state == JsonFileState::kTooLarge || state == JsonFileState::kUnreadable ||
           state == JsonFileState::kNotJson;
}

std::string readjsonFile(const std::string& path, JsonFileState* state) {
    JsonFileState unused;
    JsonFileState& result = state ? *state : unused;
    // O_NONBLOCK: a FIFO planted under a data file name must not hang the caller.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        debug_printf("readjsonFile 错误吗：：%d", errno);
        result = errno == ENOENT || errno == ENOTDIR ? JsonFileState::kMissing
                                                     : JsonFileState::kUnreadable;
        return {};
    }
    std::string data;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        result = JsonFileState::kUnreadable;
    } else if (!S_ISREG(st.st_mode)) {
        result = JsonFileState::kNotAFile;
    } else if (st.st_size > kMaxJsonFileSize) {
        result = JsonFileState::kTooLarge;
    } else {
        // Read to the end rather than the size stat gave: a file that grows meanwhile (or,
        // like those in /proc, tells no size) is read whole or refused, never cut short. The
        // buffer grows in whole chunks (files of /proc want reads of whole records) to at
        // most one chunk past the cap.
        constexpr size_t kChunk = 64 * 1024;
        const size_t cap = size_t(kMaxJsonFileSize);
        data.resize((size_t(st.st_size) / kChunk + 1) * kChunk);
        size_t got = 0;
        result = JsonFileState::kRead;
        for (;;) {
            if (got > cap) {
                result = JsonFileState::kTooLarge;
                break;
            }
            if (got == data.size())
                data.resize(std::min(data.size() * 2, (cap / kChunk + 1) * kChunk));
            const ssize_t n = ::read(fd, data.data() + got, data.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                result = JsonFileState::kUnreadable;
                break;
            }
            if (n == 0) break;
            got += size_t(n);
        }
        if (result == JsonFileState::kRead && got == 0) result = JsonFileState::kEmpty;
        data.resize(result == JsonFileState::kRead ? got : 0);
        data.shrink_to_fit();
    }
    ::close(fd);
    if (result == JsonFileState::kTooLarge)
        debug_printf("readjsonFile: %s is larger than %lld bytes, refused", path.c_str(),
                     static_cast<long long>(kMaxJsonFileSize));
    return data;
}

std::int64_t count_json_values(std::string_view t) {
    std::int64_t count = 0;
    bool in_scalar = false;
    for (size_t i = 0; i < t.size(); ++i) {
        switch (t[i]) {
            case '"':
                ++count;
                in_scalar = false;
                for (++i; i < t.size() && t[i] != '"'; ++i)
                    if (t[i] == '\\') ++i;
                break;
            case '[':
            case '{':
                count += 2;
                in_scalar = false;
                break;
            case ']':
            case '}':
            case ',':
            case ':':
            case ' ':
            case '\t':
            case '\n':
            case '\r':
                in_scalar = false;
                break;
            case '/':
                if (i + 1 < t.size() && (t[i + 1] == '/' || t[i + 1] == '*')) {
                    // A comment: its text and the slots that hold it on its value.
                    count += 2;
                    in_scalar = false;
                    if (t[i + 1] == '/') {
                        while (i < t.size() && t[i] != '\n') ++i;
                    } else {
                        for (i += 2; i + 1 < t.size() && !(t[i] == '*' && t[i + 1] == '/'); ++i) {
                        }
                        ++i;
                    }
                    break;
                }
                [[fallthrough]];
            default:
                if (!in_scalar) ++count;
                in_scalar = true;
                break;
        }
    }
    return count;
}

Json::Value parse_json(std::string_view text, JsonFileState* state) {
    JsonFileState unused;
    JsonFileState& result = state ? *state : unused;
    if (text.empty()) {
        result = JsonFileState::kEmpty;
        return {};
    }
    if (count_json_values(text) > kMaxJsonValues) {
        debug_printf("JSON text with more than %lld values refused",
                     static_cast<long long>(kMaxJsonValues));
        result = JsonFileState::kNotJson;
        return {};
    }
    Json::Value root;
    result = JsonFileState::kNotJson;
    try {
        Json::Reader reader;
        // Parsed in place: the string overload would first copy the whole text.
        // Deeply nested input makes the reader throw when it exceeds its depth limit.
        if (!reader.parse(text.data(), text.data() + text.size(), root, true)) return {};
    } catch (const std::exception&) {
        return {};
    }
    result = JsonFileState::kRead;
    return root;
}

Json::Value read_json(const std::string& path, JsonFileState* state) {
    JsonFileState unused;
    JsonFileState& result = state ? *state : unused;
    const std::string text = readjsonFile(path, &result);
    if (result != JsonFileState::kRead) {
        debug_line(path);
        return {};
    }
    return parse_json(text, &result);
}

namespace {

bool has_key_with_zero(const Json::Value& v) {
    if (v.isObject()) {
        for (auto it = v.begin(); it != v.end(); ++it)
            if (it.name().find('\0') != std::string::npos || has_key_with_zero(*it)) return true;
    } else if (v.isArray()) {
        for (const Json::Value& e : v)
            if (has_key_with_zero(e)) return true;
    }
    return false;
}

void drop_keys_with_zero(Json::Value& v) {
    if (v.isObject()) {
        for (const std::string& name : v.getMemberNames()) {
            // The range overload: the one taking a string stops at the zero byte too.
            if (name.find('\0') != std::string::npos)
                v.removeMember(name.data(), name.data() + name.size(), nullptr);
            else
                drop_keys_with_zero(v[name]);
        }
    } else if (v.isArray()) {
        for (Json::Value& e : v) drop_keys_with_zero(e);
    }
}

}  // namespace

std::string styled_json(const Json::Value& value) {
    Json::StyledWriter writer;
    // The styled writer cuts a key at its first zero byte: "value\0x" read from a file would
    // be stored as a second "value" and read back in place of the real one. No reader asks
    // for such keys, so they are left out.
    if (has_key_with_zero(value)) {
        Json::Value copy = value;
        drop_keys_with_zero(copy);
        return writer.write(copy);
    }
    return writer.write(value);
}

bool write_json_file(const std::string& path, const Json::Value& value) {
    std::string text;
    try {
        text = styled_json(value);
    } catch (const std::exception&) {
        return false;
    }
    if (std::int64_t(text.size()) > kMaxJsonFileSize || count_json_values(text) > kMaxJsonValues) {
        debug_printf("write_json: %s would be larger than the reader takes, not written",
                     path.c_str());
        return false;
    }
    return write_file_atomic(path, text);
}

int write_json(const std::string& path, const Json::Value& value) {
    write_json_file(path, value);
    return 0;
}

const Json::Value& json_get(const Json::Value& v, const char* key) {
    if (!v.isObject()) return null_value();
    const Json::Value* found = v.find(key, key + std::strlen(key));
    return found ? *found : null_value();
}

const Json::Value& json_get(const Json::Value& v, int index) {
    if (!v.isArray() || index < 0 || Json::ArrayIndex(index) >= v.size()) return null_value();
    return v[Json::ArrayIndex(index)];
}

int json_int(const Json::Value& v, int fallback) {
    if (v.isBool()) return v.asBool() ? 1 : 0;
    if (v.isInt()) return v.asInt();
    if (v.isDouble()) {
        const double d = v.asDouble();
        if (std::isfinite(d) && d > double(INT_MIN) - 1.0 && d < double(INT_MAX) + 1.0)
            return int(d);
    }
    return fallback;
}

bool json_bool(const Json::Value& v, bool fallback) {
    if (v.isBool()) return v.asBool();
    if (v.isIntegral()) return v.isUInt64() ? v.asUInt64() != 0 : v.asInt64() != 0;
    if (v.isDouble()) return v.asDouble() != 0.0;
    return fallback;
}

std::string json_string(const Json::Value& v, const std::string& fallback) {
    return v.isString() ? valid_utf8(v.asString()) : fallback;
}

Json::Value& json_slot(Json::Value& v, const char* key) {
    if (!v.isObject()) v = Json::Value(Json::objectValue);
    return v[key];
}

Json::Value& json_slot(Json::Value& v, int index) {
    if (!v.isArray()) v = Json::Value(Json::arrayValue);
    if (index < 0) index = 0;
    if (index > kMaxJsonIndex) index = kMaxJsonIndex;
    // JsonCpp would store only the one element; fill the gap so the array stays dense and
    // compares and iterates like an array read from a file.
    while (v.size() <= Json::ArrayIndex(index)) v.append(Json::Value());
    return v[Json::ArrayIndex(index)];
}

}  // namespace tellune

#pragma once
// What the two audio configuration libraries built here share: the properties a chip keeps
// (with the file that keeps them across restarts, as a chip's driver would), the buffer
// conventions of the contract, and the C entry points over one Chip object.
//
// The entry points run on the caller's thread; a mutex serialises them, so a library may be
// used from more than one thread.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>

#include "core/audio/osconf_abi.h"

namespace tellune::osconf {

enum class ValueKind { Int, Float };

// Scalars ("...ScalarControl") are floats; everything else written is a 32-bit integer.
ValueKind kind_of(std::wstring_view name);
// The properties whose parameter buffer names a channel.
bool uses_channel(std::wstring_view name);

// The number as the answer's wide text: integers without decimals, floats with six.
std::wstring format_number(double value, ValueKind kind);
// Writes `text` NUL-terminated into *value, cut to fit the buffer. False for a null buffer.
bool answer(void** value, const std::wstring& text);
// The 32-bit integer or float at the start of *value, as a double.
std::optional<double> written_value(void** value, ValueKind kind);
// The channel in the first 4 bytes of *parameter; 0 when there is none.
int32_t parameter_channel(void** parameter);
// A property name as narrow text (non-ASCII characters become '?'); empty for null.
std::string narrow(const wchar_t* name);

// Properties a chip keeps, by flow, name and channel, optionally kept in a file.
class PropertyStore {
public:
    using Key = std::tuple<int, std::string, int32_t>;

    // `file`: where the values are kept across restarts; empty keeps them in memory only.
    void set_file(std::string file) { file_ = std::move(file); }
    const std::string& file() const { return file_; }
    // Reads the file (a missing or broken file leaves the store empty).
    void load();
    // Writes the whole store atomically (a temporary file beside it, then a rename).
    bool save() const;

    std::optional<double> get(int flow, const std::string& name, int32_t channel) const;
    void set(int flow, const std::string& name, int32_t channel, double value);
    void erase(int flow, const std::string& name, int32_t channel);
    void clear() { values_.clear(); }
    const std::map<Key, double>& values() const { return values_; }

private:
    std::map<Key, double> values_;
    std::string file_;
};

// $XDG_STATE_HOME (or ~/.local/state) + "/tellune/" + name, unless `variable` is set in the
// environment: then its value (empty: in memory only).
std::string state_file(const char* variable, std::string_view name);

// The library side of the contract.
class Chip {
public:
    virtual ~Chip() = default;
    virtual int init() = 0;
    virtual int uninit() { return 0; }
    virtual int create_device_list() = 0;
    virtual int device_count(int flow, int* count) = 0;
    virtual int device_by_id(int flow, int index, OsConfDevice* device) = 0;
    virtual int property(OsConfDevice device, const wchar_t* name, void** value, void** parameter,
                         int set) = 0;

    std::recursive_mutex& mutex() { return mutex_; }

private:
    std::recursive_mutex mutex_;
};

// The chip the C entry points of this library use.
Chip& library_chip();

}  // namespace tellune::osconf

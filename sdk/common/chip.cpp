#include "sdk/common/chip.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <sstream>

namespace tellune::osconf {

ValueKind kind_of(std::wstring_view name) {
    const std::wstring_view scalar = L"ScalarControl";
    return name.size() >= scalar.size() && name.substr(name.size() - scalar.size()) == scalar
               ? ValueKind::Float
               : ValueKind::Int;
}

bool uses_channel(std::wstring_view name) {
    return name == L"VolumeControl" || name == L"VolumeScalarControl" ||
           name == L"AAVolumeControl" || name == L"AAVolumeScalarControl";
}

std::wstring format_number(double value, ValueKind kind) {
    wchar_t text[64];
    if (kind == ValueKind::Int && value == std::floor(value))
        std::swprintf(text, 64, L"%.0f", value);
    else
        std::swprintf(text, 64, L"%.6f", value);
    return text;
}

bool answer(void** value, const std::wstring& text) {
    if (!value || !*value) return false;
    constexpr size_t kChars = OSCONF_BUFFER_SIZE / sizeof(wchar_t);
    const size_t n = std::min(text.size(), kChars - 1);
    std::memset(*value, 0, OSCONF_BUFFER_SIZE);
    std::memcpy(*value, text.data(), n * sizeof(wchar_t));
    return true;
}

std::optional<double> written_value(void** value, ValueKind kind) {
    if (!value || !*value) return std::nullopt;
    if (kind == ValueKind::Float) {
        float f;
        std::memcpy(&f, *value, sizeof f);
        if (!std::isfinite(f)) return std::nullopt;
        return double(f);
    }
    int32_t i;
    std::memcpy(&i, *value, sizeof i);
    return double(i);
}

int32_t parameter_channel(void** parameter) {
    if (!parameter || !*parameter) return 0;
    int32_t c;
    std::memcpy(&c, *parameter, sizeof c);
    return c;
}

std::string narrow(const wchar_t* name) {
    std::string out;
    if (!name) return out;
    for (size_t i = 0; name[i] && i < 256; ++i)
        out.push_back(name[i] > 0 && name[i] < 0x80 ? char(name[i]) : '?');
    return out;
}

// --- store ---

void PropertyStore::load() {
    values_.clear();
    if (file_.empty()) return;
    std::ifstream in(file_);
    std::string line;
    // One value per line: flow, name, channel, value.
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        int flow = 0;
        std::string name;
        int32_t channel = 0;
        double value = 0;
        if (fields >> flow >> name >> channel >> value && std::isfinite(value))
            values_[{flow, name, channel}] = value;
    }
}

bool PropertyStore::save() const {
    if (file_.empty()) return true;
    const size_t slash = file_.rfind('/');
    if (slash != std::string::npos) {
        // Create the folders on the way.
        for (size_t at = 1; at <= slash; ++at)
            if (at == slash || file_[at] == '/') ::mkdir(file_.substr(0, at).c_str(), 0700);
    }
    std::ostringstream out;
    out.precision(9);
    for (const auto& [key, value] : values_)
        out << std::get<0>(key) << ' ' << std::get<1>(key) << ' ' << std::get<2>(key) << ' '
            << value << '\n';
    const std::string text = out.str();
    const std::string temp = file_ + ".tmp" + std::to_string(::getpid());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += size_t(n);
    }
    const bool ok = done == text.size() && ::fsync(fd) == 0;
    ::close(fd);
    if (!ok || ::rename(temp.c_str(), file_.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

std::optional<double> PropertyStore::get(int flow, const std::string& name, int32_t channel) const {
    const auto it = values_.find({flow, name, channel});
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

void PropertyStore::set(int flow, const std::string& name, int32_t channel, double value) {
    values_[{flow, name, channel}] = value;
}

void PropertyStore::erase(int flow, const std::string& name, int32_t channel) {
    values_.erase({flow, name, channel});
}

std::string state_file(const char* variable, std::string_view name) {
    if (const char* set = std::getenv(variable)) return set;
    std::string base;
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && *xdg == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = std::string(home) + "/.local/state";
    } else {
        return {};
    }
    return base + "/tellune/" + std::string(name);
}

}  // namespace tellune::osconf

#include "core/platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/platform/platform.h"

namespace tellune {
namespace {

constexpr size_t kRandomPart = 6;  // the XXXXXX of mkstemp

std::atomic<FileStepHook> step_hook{nullptr};

void step(const char* what, const std::string& path) {
    if (FileStepHook hook = step_hook.load(std::memory_order_acquire)) hook(what, path);
}

}  // namespace

void set_file_step_hook(FileStepHook hook) {
    step_hook.store(hook, std::memory_order_release);
}

bool write_file_atomic(const std::string& path, std::string_view content) {
    if (path.empty() || path.back() == '/') return false;
    const size_t slash = path.rfind('/');
    const size_t base = slash == std::string::npos ? 0 : slash + 1;
    std::string tmpl = path.substr(0, base) + "." + path.substr(base) +
                       std::string(kTemporaryMarker) + std::string(kRandomPart, 'X');
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        debug_printf("write_file_atomic: cannot create temporary for %s (errno %d)", path.c_str(),
                     errno);
        return false;
    }
    bool ok = true;
    const char* p = content.data();
    size_t left = content.size();
    while (ok && left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        p += n;
        left -= size_t(n);
    }
    // Keep the permissions of the file being replaced; a new file gets the usual 0644.
    struct stat old {};
    const mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    ok = ok && ::fchmod(fd, mode) == 0;
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) step("replace", path);
    ok = ok && ::rename(name.data(), path.c_str()) == 0;
    if (!ok) {
        debug_printf("write_file_atomic: writing %s failed (errno %d)", path.c_str(), errno);
        ::unlink(name.data());
    }
    return ok;
}

std::string read_whole_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0) return {};
    in.seekg(0, std::ios::beg);
    std::string data(size_t(size), '\0');
    in.read(data.data(), size);
    if (in.gcount() != size) return {};
    return data;
}

bool is_temporary_file_name(std::string_view name) {
    if (name.size() < 2 + kTemporaryMarker.size() + kRandomPart || name.front() != '.')
        return false;
    const size_t marker = name.size() - kRandomPart - kTemporaryMarker.size();
    if (name.substr(marker, kTemporaryMarker.size()) != kTemporaryMarker) return false;
    for (char c : name.substr(name.size() - kRandomPart)) {
        const bool alnum =
            (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alnum) return false;
    }
    return true;
}

int remove_stale_temporaries(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return 0;
    std::vector<std::string> stale;
    while (const dirent* e = ::readdir(dir))
        if (is_temporary_file_name(e->d_name)) stale.emplace_back(e->d_name);
    ::closedir(dir);
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    int removed = 0;
    for (const std::string& name : stale) {
        const std::string path = prefix + name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (remove_file(path)) ++removed;
    }
    if (removed > 0)
        debug_printf("removed %d stale temporary files in %s", removed, folder.c_str());
    return removed;
}

bool rename_file(const std::string& from, const std::string& to) {
    step("rename", from);
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    debug_printf("rename %s -> %s failed (errno %d)", from.c_str(), to.c_str(), errno);
    return false;
}

bool remove_file(const std::string& path) {
    step("remove", path);
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

bool path_exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string move_aside_damaged(const std::string& path) {
    if (!path_exists(path)) return {};
    const std::string base = path + ".damaged-" + make_time_stamp();
    std::string target = base;
    for (int n = 1; path_exists(target); ++n) {
        if (n > 1000) return {};
        target = base + "_" + std::to_string(n);
    }
    if (!rename_file(path, target)) return {};
    debug_printf("unreadable file kept aside as %s", target.c_str());
    return target;
}

}  // namespace tellune

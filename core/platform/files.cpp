#include "core/platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/platform/platform.h"

namespace tellune {

bool write_file_atomic(const std::string& path, std::string_view content) {
    if (path.empty()) return false;
    std::string tmpl = path + ".XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
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

}  // namespace tellune

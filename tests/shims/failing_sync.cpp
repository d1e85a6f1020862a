// Preloaded (LD_PRELOAD) into a program run whose environment sets TIDAL_FAIL_SYNC=SUFFIX:
// fsync of a file whose path ends with SUFFIX fails with EIO (as a network file system or a
// failing disk may report the loss of written data when it is handed over), every other fsync
// is the system's. Lets a test reach the error paths of a file's last step, its sync.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include <dlfcn.h>
#include <unistd.h>

namespace {

bool fails(int fd) {
    const char* suffix = std::getenv("TIDAL_FAIL_SYNC");
    if (suffix == nullptr || *suffix == '\0') return false;
    char path[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = ::readlink(link.c_str(), path, sizeof path - 1);
    if (n < 0) return false;
    const std::size_t len = static_cast<std::size_t>(n), k = std::strlen(suffix);
    return len >= k && std::memcmp(path + len - k, suffix, k) == 0;
}

} // namespace

extern "C" int fsync(int fd) {
    if (fails(fd)) {
        errno = EIO;
        return -1;
    }
    using Sync = int (*)(int);
    static const Sync real = reinterpret_cast<Sync>(::dlsym(RTLD_NEXT, "fsync"));
    return real(fd);
}

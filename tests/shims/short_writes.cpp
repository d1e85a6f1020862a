// Preloaded (LD_PRELOAD) into a test run whose environment sets TIDAL_SHORT_WRITES=K: every
// gathering write pwritev then writes at most K bytes (the first K of its pieces, as a pipe or
// a full disk may), so that a writer's loop over short writes is exercised as a regular file
// never exercises it. With K odd and small, the writes stop inside pieces and on their
// boundaries alike. Without the variable (or with K = 0) writes are left whole.
#include <cstdlib>
#include <cstring>
#include <vector>

#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

std::size_t limit() {
    const char* k = std::getenv("TIDAL_SHORT_WRITES");
    return k == nullptr ? 0 : static_cast<std::size_t>(std::strtoull(k, nullptr, 10));
}

// The first min(K, total) bytes of the pieces, written by one pwrite at `offset`.
ssize_t short_write(int fd, const iovec* iov, int count, off_t offset) {
    const std::size_t k = limit();
    std::vector<char> bytes;
    for (int i = 0; i < count; ++i) {
        const char* p = static_cast<const char*>(iov[i].iov_base);
        std::size_t take = iov[i].iov_len;
        if (k != 0 && bytes.size() + take > k) take = k - bytes.size();
        bytes.insert(bytes.end(), p, p + take);
        if (k != 0 && bytes.size() == k) break;
    }
    return ::pwrite(fd, bytes.data(), bytes.size(), offset);
}

} // namespace

extern "C" ssize_t pwritev(int fd, const iovec* iov, int count, off_t offset) {
    return short_write(fd, iov, count, offset);
}
extern "C" ssize_t pwritev64(int fd, const iovec* iov, int count, off_t offset) {
    return short_write(fd, iov, count, offset);
}

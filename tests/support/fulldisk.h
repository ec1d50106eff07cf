#pragma once

#include <csignal>
#include <sys/resource.h>

namespace quorvel::testing {

// While alive, no file of this process may grow beyond `bytes`: a write past
// it fails as on a full disk.
class FullDisk {
public:
    explicit FullDisk(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FullDisk() { ::setrlimit(RLIMIT_FSIZE, &saved_); }
    FullDisk(const FullDisk &) = delete;
    FullDisk &operator=(const FullDisk &) = delete;

private:
    rlimit saved_{};
};

} // namespace quorvel::testing

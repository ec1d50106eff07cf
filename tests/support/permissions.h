#pragma once

// Lets a test see file permissions as an ordinary user does, also when it
// runs as root: root's right to ignore them is set aside in this thread for
// the object's lifetime.

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace quorvel::testing {

class PermissionsApply {
public:
    PermissionsApply()
    {
        if (::geteuid() != 0) {
            active_ = true;
            return;
        }
        if (::syscall(SYS_capget, &header_, saved_) != 0)
            return;
        __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
        lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        active_ = ::syscall(SYS_capset, &header_, lowered) == 0;
        lowered_ = active_;
    }
    ~PermissionsApply()
    {
        if (lowered_)
            ::syscall(SYS_capset, &header_, saved_);
    }
    PermissionsApply(const PermissionsApply &) = delete;
    PermissionsApply &operator=(const PermissionsApply &) = delete;

    // False when permissions cannot be made to apply (the test should skip).
    bool active() const { return active_; }

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool active_ = false;
    bool lowered_ = false;
};

} // namespace quorvel::testing

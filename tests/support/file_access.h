#pragma once

// Permission tests run as root here. Root passes file permission checks through three
// capabilities; this guard lowers them for the calling thread (file access is checked with
// the thread's credentials), so a test sees what an ordinary user sees, and raises them
// again when it goes. For a user without them it changes nothing.

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

class WithoutFileOverride {
public:
    WithoutFileOverride() {
        if (::syscall(SYS_capget, &header_, saved_) != 0)
            return;
        __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
        lowered[0].effective &= ~kOverrides;
        changed_ = ::syscall(SYS_capset, &header_, lowered) == 0;
    }
    ~WithoutFileOverride() {
        if (changed_)
            (void)::syscall(SYS_capset, &header_, saved_);
    }
    WithoutFileOverride(const WithoutFileOverride&) = delete;
    WithoutFileOverride& operator=(const WithoutFileOverride&) = delete;

private:
    static constexpr unsigned kOverrides =
        (1U << CAP_DAC_OVERRIDE) | (1U << CAP_DAC_READ_SEARCH) | (1U << CAP_FOWNER);
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool changed_ = false;
};

#pragma once

#include <functional>
#include <utility>

// A handler slot like a bound method: a callable plus the identity of what it is bound to,
// so that slots can be compared, saved, chained and restored.
template <typename Signature> class Handler;

template <typename R, typename... Args> class Handler<R(Args...)> {
public:
    Handler() = default;
    Handler(const void* object, int tag, std::function<R(Args...)> fn)
        : fn_(std::move(fn)), object_(object), tag_(tag) {}

    explicit operator bool() const { return static_cast<bool>(fn_); }
    R operator()(Args... args) const { return fn_(std::forward<Args>(args)...); }

    [[nodiscard]] const void* object() const { return object_; }
    [[nodiscard]] int tag() const { return tag_; }

    friend bool operator==(const Handler& a, const Handler& b) {
        if (!a.fn_ || !b.fn_)
            return !a.fn_ && !b.fn_;
        return a.object_ == b.object_ && a.tag_ == b.tag_;
    }

private:
    std::function<R(Args...)> fn_;
    const void* object_ = nullptr;
    int tag_ = 0;
};

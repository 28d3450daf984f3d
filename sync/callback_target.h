// The object a context-less C callback is meant for.
//
// The C bindings' callbacks carry no user data, so the receiving object is
// kept in one process-wide CallbackTarget per callback kind:
//
//     CallbackTarget<LibraryEvents> registered;           // file scope
//     void receiveCallback(const CanFrame* f, int32_t s) {
//         registered.invoke([&](LibraryEvents& e) { e.onReceive(*f, s); });
//     }
//     registered.attach(this);   // before registering receiveCallback
//     registered.detach(this);   // in the destructor
//
// Threads: attach and detach on any thread, invoke on the callback's thread.
// invoke holds the target attached until its call returns, and detach waits
// for a call in flight, so the object may be destroyed as soon as detach
// returns. Calls may nest on one thread (a callback whose work leads to
// another callback of the same target). The call must not wait for a thread
// that is detaching.
#pragma once

#include <mutex>

namespace quorvane {

template <class Target>
class CallbackTarget {
public:
    // Makes `target` the object the callback reaches, replacing any other.
    void attach(Target* target) {
        std::lock_guard guard(mutex_);
        target_ = target;
    }

    // Forgets `target` when it is the attached object, once no call is
    // running on it. Returns whether it was attached.
    bool detach(Target* target) {
        std::lock_guard guard(mutex_);
        if (target_ != target) return false;
        target_ = nullptr;
        return true;
    }

    // Runs call(target) when an object is attached; returns whether it ran.
    template <class Call>
    bool invoke(Call&& call) {
        std::lock_guard guard(mutex_);
        if (target_ == nullptr) return false;
        call(*target_);
        return true;
    }

private:
    std::recursive_mutex mutex_;  // guards target_, held for the whole of a call
    Target* target_ = nullptr;
};

}  // namespace quorvane

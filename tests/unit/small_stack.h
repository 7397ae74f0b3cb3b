#pragma once
// Runs test code on a thread with a small stack: a walk that recursed once per level of
// its input would overflow it and crash the test.
#include <pthread.h>

#include <cstddef>
#include <functional>

namespace tarvik::testing {

// Runs `work` on a new thread whose stack is `bytes` large and waits for it. False when
// the thread could not be started.
inline bool RunOnStackOf(std::size_t bytes, std::function<void()> work) {
    pthread_attr_t attributes;
    if (::pthread_attr_init(&attributes) != 0) return false;
    ::pthread_attr_setstacksize(&attributes, bytes);
    pthread_t thread;
    void* (*call)(void*) = [](void* argument) -> void* {
        (*static_cast<std::function<void()>*>(argument))();
        return nullptr;
    };
    const bool started = ::pthread_create(&thread, &attributes, call, &work) == 0;
    if (started) ::pthread_join(thread, nullptr);
    ::pthread_attr_destroy(&attributes);
    return started;
}

}  // namespace tarvik::testing

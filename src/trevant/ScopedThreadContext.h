#pragma once

#include <AL/alc.h>

// Makes a context the calling thread's own for a scope. No context is left current after it:
// every other user of this library makes its own current before each call into OpenAL Soft.
class ScopedThreadContext {
  public:
    explicit ScopedThreadContext(ALCcontext* context);
    ~ScopedThreadContext();
    ScopedThreadContext(const ScopedThreadContext&) = delete;
    ScopedThreadContext& operator=(const ScopedThreadContext&) = delete;
};

#include "render/ScopedFlushDenormals.h"

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>

namespace {
constexpr unsigned kFlushToZero = 0x8000;
constexpr unsigned kDenormalsAreZero = 0x0040;
}  // namespace

ScopedFlushDenormals::ScopedFlushDenormals() : m_saved(_mm_getcsr()) {
    _mm_setcsr(m_saved | kFlushToZero | kDenormalsAreZero);
}

ScopedFlushDenormals::~ScopedFlushDenormals() {
    _mm_setcsr(m_saved);
}
#else
ScopedFlushDenormals::ScopedFlushDenormals() = default;
ScopedFlushDenormals::~ScopedFlushDenormals() = default;
#endif

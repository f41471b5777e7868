#pragma once

// Flush-to-zero and denormals-are-zero on this thread for the life of the object. A recursive
// filter's tail decays into subnormals after loud input; flushing them keeps such samples as
// cheap as any other. The previous mode comes back on destruction.
class ScopedFlushDenormals {
  public:
    ScopedFlushDenormals();
    ~ScopedFlushDenormals();
    ScopedFlushDenormals(const ScopedFlushDenormals&) = delete;
    ScopedFlushDenormals& operator=(const ScopedFlushDenormals&) = delete;

  private:
    unsigned m_saved = 0;
};

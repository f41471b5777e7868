#pragma once

// Four public member functions: the constructor, the destructor, Run (inline) and Wait
// (across lines); the rest do not count.
class Hub : public Base {
    Q_OBJECT

  public:
    static constexpr int kLimit = 3;  // data (not a call)
    Hub();
    ~Hub() override;
    Hub(const Hub&) = delete;
    Hub& operator=(const Hub&) = delete;
    // Stop() said in a comment
    void Run() {
        if (m_ready) {
            Go();
        }
    }
    bool Wait(int millisecondsBeforeTheFirstTry, int millisecondsBetweenTries, int triesAtMost,
              bool bThrowAtTheEnd) const;
    int count = 0;

  signals:
    void Done();

  protected:
    void Protected();

  private:
    struct Inner {
        void Hidden();
    };
    void Go();
    int m_table[4];
    bool m_ready = false;
};

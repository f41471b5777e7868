#pragma once

#include <algorithm>
#include <vector>

// The listeners of one source, not owned. A listener may leave, or another join, while they
// are being told: each is told only while it is still in the list, and one that joins then
// hears from the next notice on.
template <typename Listener>
class ListenerList {
  public:
    void Add(Listener* listener) {
        if (std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end()) {
            m_listeners.push_back(listener);
        }
    }
    void Remove(Listener* listener) {
        m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), listener),
                          m_listeners.end());
    }
    void Clear() { m_listeners.clear(); }

    // Calls fn(listener&) for each.
    template <typename Fn>
    void Tell(Fn fn) const {
        const std::vector<Listener*> listeners = m_listeners;
        for (Listener* listener : listeners) {
            if (std::find(m_listeners.begin(), m_listeners.end(), listener) != m_listeners.end()) {
                fn(*listener);
            }
        }
    }

  private:
    std::vector<Listener*> m_listeners;
};

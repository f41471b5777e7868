#include "trajectory/TrajectoryControl.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

[[noreturn]] void Refuse(const char* what) {
    // A race here would write the trajectory from two threads at once: stop loudly instead.
    std::fprintf(stderr, "TrajectoryControl: %s\n", what);
    std::abort();
}

}  // namespace

bool TrajectoryControl::Inbox::Push(const Feed& feed) {
    const std::thread::id self = std::this_thread::get_id();
    std::thread::id expected{};
    if (!m_producer.compare_exchange_strong(expected, self) && expected != self) {
        Refuse("a second thread fed the inbox; it takes one feeding thread");
    }
    const size_t written = m_written.load(std::memory_order_relaxed);
    if (written - m_read.load(std::memory_order_acquire) == kCapacity) {
        return false;
    }
    m_feeds[written % kCapacity] = feed;
    m_written.store(written + 1, std::memory_order_release);
    return true;
}

void TrajectoryControl::CheckThread() {
    const std::thread::id self = std::this_thread::get_id();
    if (m_owner == std::thread::id()) {
        m_owner = self;
    } else if (m_owner != self) {
        Refuse("called off its thread; a feeder there must push into FeedInbox()");
    }
}

uint32_t TrajectoryControl::FrameNow() {
    if (m_stamp) {
        return *m_stamp;
    }
    if (m_pClock != nullptr) {
        if (const std::optional<uint32_t> frame = m_pClock->HeardFrameNow()) {
            m_lastFrame = *frame;
        }
    }
    return m_lastFrame;
}

std::string TrajectoryControl::WhyNot(Value value) const {
    if (value == Value::Place && !m_bAllAround) {
        return "The frontal view shows no elevation or distance: turn on View > Show All Around "
               "to perform a place.";
    }
    if ((value == Value::Elevation || value == Value::Distance ||
         value == Value::AzimuthAndDistance) &&
        !m_bAllAround) {
        return std::string("The frontal view shows no ") +
               (value == Value::Elevation ? "elevation" : "distance") +
               ": record it over its lane in the all-around view.";
    }
    return {};
}

void TrajectoryControl::Started(uint32_t frame, std::optional<Mode> armed, Clock& clock) {
    CheckThread();
    if (m_bInPass) {
        End();  // a stop that never came: the pass ends where it got to
    }
    m_bPlaying = true;
    m_pClock = &clock;
    m_lastFrame = frame;
    m_armed = armed;
    if (!armed) {
        return;
    }
    if (m_bTouched) {
        // A loop came round with the feeder still holding: the new pass goes on from here.
        Begin(frame, m_touchValue, m_latest.value, m_latest.second, m_latest.third);
    } else if (*armed == Mode::Write) {
        const Value value = WhyNot(m_lastValue).empty() ? m_lastValue : Value::Azimuth;
        const Sample held = m_sink.ValueAt(value, frame);
        Begin(frame, value, held.value, held.second, held.third);
    }
}

void TrajectoryControl::Arm(std::optional<Mode> armed) {
    CheckThread();
    m_armed = armed;
    if (!armed && m_bInPass) {
        Capture(FrameNow(), m_samples.back().value, m_samples.back().second,
                m_samples.back().third);
        End();
    }
    if (!armed) {
        m_bTouched = false;
    }
}

TrajectoryControl::Touched TrajectoryControl::Touch(Value value, double amount, double second,
                                                    double third) {
    CheckThread();
    if (!TakesTouch()) {
        return {};
    }
    if (std::string why = WhyNot(value); !why.empty()) {
        return {true, std::move(why)};
    }
    const uint32_t frame = FrameNow();
    m_bTouched = true;
    m_touchValue = value;
    m_lastValue = value;
    m_latest = {frame, amount, second, third};
    if (m_bInPass && m_passValue != value) {
        // The pass of another value ends where this one begins; in a Write take, as one edit.
        const bool bJoin = m_passMode == Mode::Write;
        if (bJoin && !m_bJoined) {
            m_sink.OnJoinBegun();
        }
        m_bJoined = false;
        Capture(frame, m_samples.back().value, m_samples.back().second, m_samples.back().third);
        End();
        m_bJoined = bJoin;
    }
    if (!m_bInPass) {
        Begin(frame, value, amount, second, third);
    } else {
        Capture(frame, amount, second, third);
        Flush();
    }
    return {true, {}};
}

void TrajectoryControl::Move(double amount, double second, double third) {
    CheckThread();
    if (!m_bTouched) {
        return;
    }
    m_latest.value = amount;
    m_latest.second = second;
    m_latest.third = third;
    if (m_bInPass) {
        Capture(FrameNow(), amount, second, third);
    }
}

bool TrajectoryControl::Release() {
    CheckThread();
    if (!m_bTouched) {
        return false;
    }
    m_bTouched = false;
    if (m_bInPass) {
        Capture(FrameNow(), m_latest.value, m_latest.second, m_latest.third);
        Flush();
        if (m_passMode == Mode::Touch) {
            End();
        }
    }
    return true;
}

void TrajectoryControl::Tick(uint32_t frame) {
    CheckThread();
    m_stamp = frame;
    Drain();
    m_stamp.reset();
    m_lastFrame = frame;
    if (!m_bInPass) {
        return;
    }
    if (m_bTouched) {
        Capture(frame, m_latest.value, m_latest.second, m_latest.third);
    } else {
        Capture(frame, m_samples.back().value, m_samples.back().second, m_samples.back().third);
    }
    Flush();
}

void TrajectoryControl::Stopped(uint32_t frame) {
    CheckThread();
    if (m_bInPass) {
        Capture(frame, m_samples.back().value, m_samples.back().second, m_samples.back().third);
        End();
    }
    m_bPlaying = false;
    m_pClock = nullptr;
}

void TrajectoryControl::FeedAt(const Feed& feed, uint32_t frame) {
    CheckThread();
    m_stamp = frame;
    Apply(feed);
    m_stamp.reset();
}

void TrajectoryControl::Drain() {
    size_t read = m_inbox.m_read.load(std::memory_order_relaxed);
    const size_t written = m_inbox.m_written.load(std::memory_order_acquire);
    for (; read != written; ++read) {
        Apply(m_inbox.m_feeds[read % Inbox::kCapacity]);
        m_inbox.m_read.store(read + 1, std::memory_order_release);
    }
}

void TrajectoryControl::Apply(const Feed& feed) {
    switch (feed.kind) {
        case Feed::Kind::Touch:
            Touch(feed.value, feed.amount, feed.second, feed.third);
            return;
        case Feed::Kind::Move:
            Move(feed.amount, feed.second, feed.third);
            return;
        case Feed::Kind::Release:
            Release();
            return;
    }
}

void TrajectoryControl::Begin(uint32_t frame, Value value, double amount, double second,
                              double third) {
    m_bInPass = true;
    m_passMode = m_armed.value_or(Mode::Touch);
    m_passValue = value;
    m_samples.clear();
    m_sink.OnPassBegun(value, frame);
    Capture(frame, amount, second, third);
    Flush();
}

void TrajectoryControl::Capture(uint32_t frame, double amount, double second, double third) {
    // The heard frame may stand still or jitter back between reads: never before the last.
    const bool bFirst = m_samples.empty();
    const uint32_t from = bFirst ? frame : m_samples.back().frame;
    frame = std::max(frame, from);
    if (!bFirst && (m_passValue == Value::Azimuth || m_passValue == Value::AzimuthAndDistance ||
                    m_passValue == Value::Place)) {
        // Unwrapped, so that thinning and the lines between points go the shorter way round.
        const double last = m_samples.back().value;
        amount = last + std::remainder(amount - last, 360.0);
    }
    if (!bFirst && frame == from) {
        m_samples.back() = {frame, amount, second, third};
    } else {
        m_samples.push_back({frame, amount, second, third});
    }
    m_bPending = true;
}

void TrajectoryControl::Flush() {
    if (m_bPending) {
        m_bPending = false;
        m_sink.OnCapture(m_samples.back());
    }
}

void TrajectoryControl::End() {
    if (!m_bInPass) {
        return;
    }
    m_bInPass = false;
    m_bPending = false;
    std::vector<Sample> kept;
    for (size_t index : Thin(m_samples, kTolerance)) {
        kept.push_back(m_samples[index]);
    }
    m_samples.clear();
    m_sink.OnPassEnded(kept);
    if (m_bJoined) {
        m_bJoined = false;
        m_sink.OnJoinEnded();
    }
}

std::vector<size_t> TrajectoryControl::Thin(const std::vector<Sample>& samples, double tolerance) {
    if (samples.size() <= 2) {
        std::vector<size_t> all(samples.size());
        for (size_t i = 0; i < all.size(); ++i) {
            all[i] = i;
        }
        return all;
    }
    // Douglas-Peucker over (frame, value), on a stack rather than by recursion: a long pass
    // would go deep.
    std::vector<bool> keep(samples.size(), false);
    keep.front() = keep.back() = true;
    std::vector<std::pair<size_t, size_t>> spans = {{0, samples.size() - 1}};
    while (!spans.empty()) {
        const auto [first, last] = spans.back();
        spans.pop_back();
        const Sample& a = samples[first];
        const Sample& b = samples[last];
        double worst = -1.0;
        size_t where = first;
        for (size_t i = first + 1; i < last; ++i) {
            const double t = b.frame == a.frame ? 0.0
                                                : static_cast<double>(samples[i].frame - a.frame) /
                                                      static_cast<double>(b.frame - a.frame);
            const double off =
                std::max({std::abs(a.value + (b.value - a.value) * t - samples[i].value),
                          std::abs(a.second + (b.second - a.second) * t - samples[i].second),
                          std::abs(a.third + (b.third - a.third) * t - samples[i].third)});
            if (off > worst) {
                worst = off;
                where = i;
            }
        }
        if (worst > tolerance) {
            keep[where] = true;
            spans.push_back({first, where});
            spans.push_back({where, last});
        }
    }
    std::vector<size_t> kept;
    for (size_t i = 0; i < keep.size(); ++i) {
        if (keep[i]) {
            kept.push_back(i);
        }
    }
    return kept;
}

#include "playback/HeadTracker.h"

#include <lo/lo.h>

#include <cstring>

namespace {

// liblo reports a failed bind through a handler without user data, on the thread that asked.
thread_local std::string t_bindError;

void OnServerError(int number, const char* message, const char* where) {
    t_bindError = std::string(message != nullptr ? message : "error") +
                  (where != nullptr && *where != '\0' ? std::string(" (") + where + ")" : "") +
                  " [" + std::to_string(number) + "]";
}

// Any number OSC can carry, as a double; none for another type.
std::optional<double> NumberOf(char type, const lo_arg& arg) {
    switch (type) {
        case LO_FLOAT:
            return arg.f;
        case LO_DOUBLE:
            return arg.d;
        case LO_INT32:
            return arg.i;
        case LO_INT64:
            return static_cast<double>(arg.h);
        default:
            return std::nullopt;
    }
}

}  // namespace

struct HeadTracker::Server {
    lo_server_thread thread = nullptr;
    ~Server() {
        if (thread != nullptr) {
            lo_server_thread_stop(thread);
            lo_server_thread_free(thread);
        }
    }

    static int Handle(const char* path, const char* types, lo_arg** argv, int argc, lo_message,
                      void* user) {
        const HeadTracker::Clock::time_point received = HeadTracker::Clock::now();
        std::vector<double> values;
        for (int i = 0; i < argc; ++i) {
            const std::optional<double> number = NumberOf(types[i], *argv[i]);
            if (!number) {
                values.clear();
                values.push_back(std::nan(""));  // a message with a word in it says nothing
                break;
            }
            values.push_back(*number);
        }
        static_cast<HeadTracker*>(user)->Receive(path, values, received);
        return 0;  // handled: no other method needs it
    }
};

HeadTracker::HeadTracker() = default;

HeadTracker::~HeadTracker() {
    Stop();
}

std::string HeadTracker::Start(const HeadTrackingPreferences& prefs) {
    m_bHead = prefs.bHead;
    m_bYpr = prefs.bYpr;
    m_bQuaternion = prefs.bQuaternion;
    m_bPlace = prefs.bPlace;
    m_bInvertYaw = prefs.bInvertYaw;
    m_bInvertPitch = prefs.bInvertPitch;
    m_bInvertRoll = prefs.bInvertRoll;
    if (IsRunning() && m_port == prefs.port) {
        return {};
    }
    Stop();
    if (!HeadTrackingPreferences::IsValidPort(prefs.port)) {
        return "The head tracker's port must lie between 1 and 65535.";
    }
    t_bindError.clear();
    auto server = std::make_unique<Server>();
    server->thread =
        lo_server_thread_new_with_proto(std::to_string(prefs.port).c_str(), LO_UDP, OnServerError);
    if (server->thread == nullptr) {
        return "Head tracking could not listen on UDP port " + std::to_string(prefs.port) + ": " +
               (t_bindError.empty() ? std::string("the port could not be bound") : t_bindError) +
               ". Is another program using it? Choose another port in Preferences.";
    }
    // Every path and type: the numbers are sorted out in Receive.
    lo_server_thread_add_method(server->thread, nullptr, nullptr, &Server::Handle, this);
    if (lo_server_thread_start(server->thread) != 0) {
        return "Head tracking could not start its receiving thread.";
    }
    m_pServer = std::move(server);
    m_port = prefs.port;
    return {};
}

void HeadTracker::Stop() {
    // Joins the receiving thread: no message is handled after this.
    m_pServer.reset();
    m_port = 0;
}

bool HeadTracker::Receive(const std::string& path, const std::vector<double>& values,
                          Clock::time_point received) {
    const HeadMessages::Inversion inversion{m_bInvertYaw.load(), m_bInvertPitch.load(),
                                            m_bInvertRoll.load()};
    std::optional<HeadRotation> rotation;
    if (path == HeadMessages::kHead && m_bHead) {
        rotation = HeadMessages::FromHead(values);
    } else if ((path == HeadMessages::kYpr || path == HeadMessages::kSceneRotatorYpr) && m_bYpr) {
        rotation = HeadMessages::FromYpr(values, inversion);
    } else if ((path == HeadMessages::kQuaternion ||
                path == HeadMessages::kSceneRotatorQuaternion) &&
               m_bQuaternion) {
        rotation = HeadMessages::FromQuaternion(values, inversion);
    } else if (path == HeadMessages::kPlace && m_bPlace) {
        if (const std::optional<HeadMessages::Place> place = HeadMessages::ToPlace(values)) {
            if (PushPlace({*place, received})) {
                return true;
            }
        }
    }
    if (rotation) {
        m_pHead->Set(*rotation, received);
        return true;
    }
    m_ignored.fetch_add(1, std::memory_order_relaxed);
    return false;
}

bool HeadTracker::PushPlace(const PlaceMessage& message) {
    const size_t written = m_placesWritten.load(std::memory_order_relaxed);
    if (written - m_placesRead.load(std::memory_order_acquire) == kPlaceCapacity) {
        return false;  // the interface is far behind: the oldest still wait, this one goes
    }
    m_places[written % kPlaceCapacity] = message;
    m_placesWritten.store(written + 1, std::memory_order_release);
    return true;
}

bool HeadTracker::TakePlace(PlaceMessage& message) {
    const size_t read = m_placesRead.load(std::memory_order_relaxed);
    if (read == m_placesWritten.load(std::memory_order_acquire)) {
        return false;
    }
    message = m_places[read % kPlaceCapacity];
    m_placesRead.store(read + 1, std::memory_order_release);
    return true;
}

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formats/PanChunk.h"
#include "formats/PlaceChunk.h"
#include "trajectory/PanPoint.h"

// The trajectory in a sound file's chunks, both ways: "achk" holds each point's frontal pan
// (what every reader knows), "ach3" right after it the whole place of each, written only when
// a point leaves the front. The one codec of the pair: what open and import accept, and what
// save writes. Messages are the caller's: results say what happened. Frames throughout.
class TrajectoryChunks {
  public:
    // What became of an "ach3" chunk beside an "achk" one.
    enum class Places {
        None,          // there is none: the pans are the trajectory
        Taken,         // it holds the places of the pans' points, which it replaced
        OtherVersion,  // a version this build does not know: carried over as it stands
        Damaged,       // too short for its header or its count: set aside
        Unmatched,     // its frames or folds no longer match the pans: set aside
    };

    struct Read {
        std::vector<PanPoint> points;  // those at or before the sound's last frame
        Places places = Places::None;
        // Pans past the front half-circle held at its edge, or values of places brought within
        // their ranges: the points kept are not quite what the file held.
        bool bClamped = false;
    };

    // The points of an "achk" of the current version and, when there is one, its "ach3"
    // (its data in file order; none when absent). frameCount: the sound's frames.
    static Read Decode(const PanChunkContents& pans,
                       const std::optional<std::vector<uint8_t>>& placeBytes, bool bBigEndian,
                       uint32_t frameCount);

    // The "achk" points of a trajectory: each point's frontal pan.
    static std::vector<PanChunkPoint> PansOf(const std::vector<PanPoint>& points);
    // The "ach3" points, in the same order; a frontal trajectory needs none (IsFrontal).
    static std::vector<PlaceChunkPoint> PlacesOf(const std::vector<PanPoint>& points);
};

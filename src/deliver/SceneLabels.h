#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scene/Scene.h"

class PanPointList;

// Where each event of a scene is heard, every 100 ms, as the sound-event localisation and
// detection sets label it (DCASE 2024 SELD metadata): one row per event sounding in a label
// frame, with the arrival the renderer reads from the propagation stage at the event's first
// frame in the label frame, so a label cannot disagree with the sound. With Doppler that is
// the place the sound heard then left from. Azimuth turns counter-clockwise there
// (90 is the left: minus ours), in whole degrees; distance in centimetres. Frames are output
// frames unless called source frames.
class SceneLabels {
  public:
    static constexpr uint32_t kFramesPerSecond = 10;

    struct Event {
        const PanPointList* points = nullptr;  // borrowed; frames of the source
        uint32_t sourceFrames = 0;
        uint32_t sourceRate = 0;
        uint64_t onset = 0;   // output frames
        uint64_t frames = 0;  // output frames it sounds for
        int classIndex = 0;
    };
    struct Row {
        uint64_t frame;  // label frame, 100 ms each
        int classIndex;
        int sourceIndex;  // the event's number among the scene's events of its class, from 0
        int azimuth;      // degrees, -179 .. 180, positive to the left
        int elevation;    // degrees, positive up
        int distanceCm;

        bool operator==(const Row&) const = default;
    };

    // The rows of a scene of outputFrames frames at outputRate heard in space, by frame, then
    // class, then source index. An event without points gives none.
    static std::vector<Row> RowsOf(const std::vector<Event>& events, uint32_t outputRate,
                                   uint64_t outputFrames, const SceneSpace& space = {});
    // "frame,class,source,azimuth,elevation,distance" lines, no heading.
    static std::string CsvOf(const std::vector<Row>& rows);
};

#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/Acoustics.h"
#include "scene/Listener.h"
#include "scene/RenderInput.h"

class CTesselDoc;
class PanPointList;

// One sound of a scene: its samples, the trajectory it moves along (frames of the source at its
// own rate), when it starts and how loud. The points are borrowed and outlive the scene.
struct SceneSource {
    std::unique_ptr<RenderInput> input;
    const PanPointList* points = nullptr;
    uint64_t onset = 0;  // frames of the scene's output
    float gain = 1.0f;   // linear
    std::string name;    // what an ADM object of it is called
    int classIndex = 0;  // what the labels call it
    // The same for sources of the same samples (ResampledSources::KeyOfFile); empty: unknown.
    std::string identity;
};

// Where a scene is heard: the listener, and what sound meets on its way there.
struct SceneSpace {
    Listener listener;
    Acoustics acoustics;

    // The space a document keeps, heard by the head it is set to render with (straight ahead
    // unless a render set one).
    static SceneSpace Of(const CTesselDoc& document);
    // Why a sound moving along points over frames at rate cannot be heard in this space, in
    // words: a room that cannot be (RoomProblem), or the first frame at which the sound leaves
    // it; empty when it can.
    std::string Refusal(const PanPointList& points, uint32_t frames, uint32_t rate) const;

    bool operator==(const SceneSpace&) const = default;
};

// What every render renders: sources heard by one listener in one space. The document is a
// scene of one source; a batch job is a scene of its events. Every renderer reaches the sources
// through the propagation stage (Propagation), which the space shapes.
struct Scene {
    std::vector<SceneSource> sources;
    SceneSpace space;

    // The document's sound from its first frame, along its trajectory, in the space it keeps.
    static Scene OfDocument(const CTesselDoc& document);
};

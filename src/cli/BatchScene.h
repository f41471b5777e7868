#pragma once

#include <string>

struct BatchJob;

// One job of a batch from its sources to its finished files: opens each event's source,
// gives it its trajectory (stored, points or generated), mixes the scene (SceneRender) and
// writes the output and the labels (SceneLabels), each on a temp file beside it put in place
// only when complete. Makes the folders they go in. Shares nothing between calls, so jobs run
// on any threads in any order and give the same bytes.
class BatchScene {
  public:
    // False with reason set: the first message the job met (a source that does not open, a
    // trajectory that cannot be made, a failed write).
    static bool Render(const BatchJob& job, std::string& reason);
};

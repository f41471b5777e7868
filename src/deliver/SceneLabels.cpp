#include "deliver/SceneLabels.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <tuple>

#include "formats/ImportResampler.h"
#include "scene/Propagation.h"
#include "trajectory/PanPointList.h"
#include "trajectory/Place.h"

std::vector<SceneLabels::Row> SceneLabels::RowsOf(const std::vector<Event>& events,
                                                  uint32_t outputRate, uint64_t outputFrames,
                                                  const SceneSpace& space) {
    std::vector<Row> rows;
    if (outputRate == 0) {
        return rows;
    }
    auto frameStart = [&](uint64_t label) { return label * outputRate / kFramesPerSecond; };
    std::map<int, int> perClass;
    for (const Event& event : events) {
        const int sourceIndex = perClass[event.classIndex]++;
        const uint64_t end = std::min(outputFrames, event.onset + event.frames);
        if (event.onset >= end || event.points == nullptr || event.points->IsEmpty()) {
            continue;
        }
        // As the Ambisonics export reads it: all around, at the source frame of an output one.
        Propagation stage(*event.points, event.sourceFrames,
                          {event.sourceRate, TrajectoryCursor::Mode::AllAround, space});
        for (uint64_t label = event.onset * kFramesPerSecond / outputRate; frameStart(label) < end;
             ++label) {
            const uint64_t at = std::max(frameStart(label), event.onset) - event.onset;
            uint64_t source = at;
            if (event.sourceRate != outputRate) {
                source = ImportResampler::MapPosition(at, outputRate, event.sourceRate);
            }
            const Arrival place = *stage.At(source);
            rows.push_back({label, event.classIndex, sourceIndex,
                            NormalAzimuth(-std::lround(place.azimuth)),
                            static_cast<int>(std::lround(place.elevation)),
                            static_cast<int>(std::lround(place.distanceCm))});
        }
    }
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        return std::tie(a.frame, a.classIndex, a.sourceIndex) <
               std::tie(b.frame, b.classIndex, b.sourceIndex);
    });
    return rows;
}

std::string SceneLabels::CsvOf(const std::vector<Row>& rows) {
    std::string text;
    for (const Row& row : rows) {
        text += std::to_string(row.frame) + ',' + std::to_string(row.classIndex) + ',' +
                std::to_string(row.sourceIndex) + ',' + std::to_string(row.azimuth) + ',' +
                std::to_string(row.elevation) + ',' + std::to_string(row.distanceCm) + '\n';
    }
    return text;
}

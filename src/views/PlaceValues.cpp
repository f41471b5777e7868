#include "views/PlaceValues.h"

#include <algorithm>

#include "trajectory/SoundPlace.h"

int32_t PlaceValues::Of(const PanPoint& point, PlaceValue value) {
    switch (value) {
        case PlaceValue::Azimuth:
            return point.azimuth;
        case PlaceValue::Elevation:
            return point.elevation;
        case PlaceValue::Distance:
            return static_cast<int32_t>(point.distanceCm);
    }
    return 0;
}

double PlaceValues::Of(const SoundPlace& place, PlaceValue value) {
    switch (value) {
        case PlaceValue::Azimuth:
            return place.azimuth;
        case PlaceValue::Elevation:
            return place.elevation;
        case PlaceValue::Distance:
            return place.distanceCm;
    }
    return 0.0;
}

void PlaceValues::Set(PanPoint& point, PlaceValue value, int32_t to) {
    switch (value) {
        case PlaceValue::Azimuth:
            SetAzimuth(point, to);
            break;
        case PlaceValue::Elevation:
            point.elevation = std::clamp(to, -kMaxElevation, kMaxElevation);
            break;
        case PlaceValue::Distance:
            point.distanceCm = static_cast<uint32_t>(std::clamp(to, 10, 10000));
            break;
    }
}

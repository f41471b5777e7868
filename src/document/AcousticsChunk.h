#pragma once

#include <optional>
#include <string>

#include "document/Acoustics.h"
#include "formats/SpaceChunk.h"

// The document's space as its "spce" chunk stores it, and back: lengths in whole millimetres,
// absorption in ten-thousandths, so what a file holds reads back exactly.
namespace AcousticsChunk {

SpaceChunkContents Encode(const Acoustics& acoustics);
// The space a chunk of the version Sonomap writes holds; none with why set when a value lies
// outside what a room may be (RoomProblem's words).
std::optional<Acoustics> Decode(const SpaceChunkContents& contents, std::string& why);

}  // namespace AcousticsChunk

// Why a room cannot be rendered, in words naming the value ("the listener at x 7 m is outside
// the room, 0 .. 6 m"); empty when every value is within its range.
std::string RoomProblem(const Room& room);

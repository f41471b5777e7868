// The space a document is heard in (Doppler, the air, a room) through save and open, in WAV and
// AIFF: it reads back as it was saved, a dry document writes no chunk, a space changed and
// changed back leaves the document as saved, and a "spce" chunk Sonomap cannot take is carried
// over untouched (another version) or set aside with the reason (damaged, a room that cannot be).
#include <gtest/gtest.h>

#include <string>

#include "document/CTesselDoc.h"
#include "document/DocumentOpen.h"
#include "document/DocumentSave.h"
#include "formats/SpaceChunk.h"
#include "support/DocumentTestFiles.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"

namespace {

// Whether a RIFF or FORM file holds a chunk of id at its top level.
bool Holds(const Bytes& file, const std::string& id) {
    const bool bBig = file[0] == 'F';
    for (size_t at = 12; at + 8 <= file.size();) {
        if (std::string(file.begin() + static_cast<long>(at),
                        file.begin() + static_cast<long>(at) + 4) == id) {
            return true;
        }
        uint32_t size = 0;
        for (int i = 0; i < 4; ++i) {
            const uint32_t byte = file[at + 4 + static_cast<size_t>(i)];
            size |= bBig ? byte << (24 - 8 * i) : byte << (8 * i);
        }
        at += 8 + size + (size & 1);
    }
    return false;
}

Room AnOddRoom() {
    Room room;
    room.width = 7.25;
    room.depth = 5.001;
    room.height = 2.9;
    room.listenerX = 1.0;
    room.listenerY = 4.999;
    room.listenerZ = 0.0;
    room.absorption = {0.01, 1.0, 0.3333, 0.5, 0.25, 0.9};
    room.reflections = 12;
    room.bTail = false;
    return room;
}

class SpaceChunkTest : public ::testing::Test {
  protected:
    std::string Write(const TestSound& sound) {
        const std::string path = dir.File(sound.bAiff ? "take.aif" : "take.wav");
        WriteBytes(path, BuildSoundFile(sound));
        return path;
    }
    TempDir dir;
    TestDocumentHost host;
};

}  // namespace

TEST_F(SpaceChunkTest, TheSpaceReadsBackAsItWasSavedAndADryDocumentWritesNone) {
    Acoustics doppler;
    doppler.bDoppler = true;
    Acoustics everything;
    everything.bDoppler = true;
    everything.bAir = true;
    everything.room = AnOddRoom();
    Acoustics roomOnly;
    roomOnly.room = Room{};
    for (const bool bAiff : {false, true}) {
        for (const Acoustics& space : {Acoustics{}, doppler, everything, roomOnly}) {
            SCOPED_TRACE(testing::Message()
                         << bAiff << " " << space.bDoppler << space.bAir << space.room.has_value());
            TestSound sound;
            sound.bAiff = bAiff;
            sound.points = {{0, -30}, {1000, 45}};
            sound.chunkFrames = 1000;
            const std::string path = Write(sound);
            auto doc = OpenTestDocument(host, path, sound);
            doc->SetAcoustics(space);
            EXPECT_EQ(doc->IsModified(), !space.IsDry());
            doc->SetModifiedFlag(true);
            ASSERT_TRUE(DocumentSave(*doc).Save());
            EXPECT_EQ(Holds(ReadBytes(path), "spce"), !space.IsDry());
            auto again = std::make_unique<CTesselDoc>(host);
            ASSERT_TRUE(DocumentOpen(*again).Open(path));
            EXPECT_EQ(again->GetAcoustics(), space);
            EXPECT_FALSE(again->IsModified());
            // Changed and changed back: as saved.
            Acoustics other = space;
            other.bAir = !other.bAir;
            again->SetAcoustics(other);
            EXPECT_TRUE(again->IsModified());
            again->SetAcoustics(space);
            EXPECT_FALSE(again->IsModified());
        }
    }
}

TEST_F(SpaceChunkTest, AChunkSonomapCannotTakeIsCarriedOverOrSetAsideWithItsReason) {
    SpaceChunkContents bad;
    bad.room = SpaceChunkRoom{
        {6000, 4000, 3000}, {7000, 2000, 1200}, {3000, 3000, 3000, 3000, 3000, 3000}, 3, true};
    const Bytes later = {2, 0, 1, 0, 9, 9, 9, 9};  // version 2
    const struct {
        const char* what;
        Bytes chunk;
        bool bKept;          // carried over by a save
        const char* status;  // what the status bar says at open
    } cases[] = {
        {"another version", later, true, "is of another version"},
        {"cut short", Bytes{1, 0, 4, 0, 3}, false, "was damaged"},
        {"a room with the listener outside", BuildSpaceChunk(bad, false), false,
         "holds a room Sonomap cannot render (the listener at x 7 m is outside the room"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestSound sound;
        sound.points = {{0, -30}, {1000, 45}};
        sound.chunkFrames = 1000;
        sound.chunksAfter = Chunk("spce", c.chunk, false);
        const std::string path = Write(sound);
        host.prompts.Clear();
        auto doc = OpenTestDocument(host, path, sound);
        EXPECT_TRUE(doc->GetAcoustics().IsDry());
        ASSERT_FALSE(host.prompts.StatusTexts().empty());
        EXPECT_NE(host.prompts.StatusTexts().back().find(c.status), std::string::npos)
            << host.prompts.StatusTexts().back();
        doc->SetModifiedFlag(true);
        ASSERT_TRUE(DocumentSave(*doc).Save());
        EXPECT_EQ(Holds(ReadBytes(path), "spce"), c.bKept);
    }
}

// The recovery journal on disk: every field back as written, any damage or a newer version
// refused (and set aside by the folder), the folder's claim telling a live run's journals from
// a dead one's, and the writer's thread carrying out the latest request per file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>

#include "document/CTesselDoc.h"
#include "document/JournalWriter.h"
#include "document/RecoveryFolder.h"
#include "document/RecoveryJournal.h"
#include "support/DocumentTestFiles.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"

namespace {

using Status = RecoveryJournal::ReadStatus;

PanPoint Point(uint32_t position, int32_t azimuth, int32_t elevation, uint32_t distanceCm,
               int32_t width) {
    PanPoint point;
    point.position = position;
    point.azimuth = azimuth;
    point.elevation = elevation;
    point.distanceCm = distanceCm;
    point.width = width;
    return point;
}

RecoveryJournal Sample() {
    RecoveryJournal journal;
    journal.key = "/music/take.wav";
    journal.ownerToken = 0x0123456789ABCDEFull;
    journal.lastEditMs = 1765200000123;
    journal.fileBytes = 44144;
    journal.fileMtimeNs = 1765100000987654321;
    journal.undoPosition = 7;
    journal.points = {Point(0, -90, 0, 100, 0), Point(500, 160, -45, 350, 30)};
    return journal;
}

std::string ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Rewrites the trailing checksum so that a change in front of it is not caught by the sum.
std::string RecoveryFolderLockName(uint64_t token) {
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.lock", static_cast<unsigned long long>(token));
    return name;
}

std::string Resummed(std::string bytes) {
    uint64_t hash = 14695981039346656037ull;
    for (size_t i = 0; i + 8 < bytes.size(); ++i) {
        hash ^= static_cast<uint8_t>(bytes[i]);
        hash *= 1099511628211ull;
    }
    for (int i = 0; i < 8; ++i) {
        bytes[bytes.size() - 8 + i] = static_cast<char>((hash >> (8 * i)) & 0xFF);
    }
    return bytes;
}

TEST(RecoveryJournal, EveryFieldComesBackAsWritten) {
    const auto with = [](auto change) {
        RecoveryJournal journal = Sample();
        change(journal);
        return journal;
    };
    const struct {
        const char* name;
        RecoveryJournal journal;
    } cases[] = {
        {"ordinary", Sample()},
        {"no points", with([](RecoveryJournal& j) { j.points.clear(); })},
        {"imported", with([](RecoveryJournal& j) {
             j.key = "/music/take.flac";
             j.bImported = true;
         })},
        {"extremes", with([](RecoveryJournal& j) {
             j.points = {Point(UINT32_MAX, 180, 90, 10000, 180),
                         Point(UINT32_MAX, -179, -90, 10, 0)};
             j.undoPosition = UINT64_MAX;
             j.fileBytes = UINT64_MAX;
             j.lastEditMs = -1;
             j.fileMtimeNs = INT64_MIN;
             j.ownerToken = UINT64_MAX;
         })},
        {"odd key", with([](RecoveryJournal& j) { j.key = "/tmp/a b/\xC3\xA9t\xC3\xA9\n.wav"; })},
        {"many points", with([](RecoveryJournal& j) {
             j.points.clear();
             for (uint32_t i = 0; i < 65535; ++i) {
                 j.points.push_back(Point(i * 3, int32_t(i % 360) - 179, int32_t(i % 181) - 90,
                                          10 + i % 9991, int32_t(i % 181)));
             }
         })},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File("journal");
        c.journal.WriteTo(path);
        RecoveryJournal read;
        ASSERT_EQ(RecoveryJournal::ReadFrom(path, read), Status::Ok);
        EXPECT_EQ(read, c.journal);
    }
    // Written whole through a temp file: nothing else is left in the folder.
    EXPECT_EQ(FilesIn(dir.Path()), 1u);
}

TEST(RecoveryJournal, DamageAndNewerVersionsAreRefusedAndSetAside) {
    const std::string good = Sample().Encode();
    const auto flipped = [&](size_t at) {
        std::string bytes = good;
        bytes[at] = static_cast<char>(bytes[at] ^ 0x10);
        return bytes;
    };
    const auto versioned = [&](uint8_t version) {
        std::string bytes = good;
        bytes[8] = static_cast<char>(version);
        return Resummed(bytes);
    };
    // A field of the last point forged, the checksum made good again: a journal is ours alone,
    // so a value no edit can make is damage however it is summed.
    const auto forged = [&](size_t field, uint32_t value) {
        std::string bytes = good;
        for (int i = 0; i < 4; ++i) {
            bytes[good.size() - 8 - 24 + 4 * field + i] = static_cast<char>(value >> (8 * i));
        }
        return Resummed(bytes);
    };
    std::string countTooLarge = good;
    const size_t countAt = good.size() - 8 - 2 * 24 - 4;
    countTooLarge[countAt] = 3;
    const struct {
        const char* name;
        std::string bytes;
        Status expected;
    } cases[] = {
        {"empty", "", Status::Damaged},
        {"magic only", good.substr(0, 8), Status::Damaged},
        {"one byte short", good.substr(0, good.size() - 1), Status::Damaged},
        {"half a point short", good.substr(0, good.size() - 20), Status::Damaged},
        {"one byte more", good + "x", Status::Damaged},
        {"a point's byte flipped", flipped(good.size() - 20), Status::Damaged},
        {"the key's byte flipped", flipped(20), Status::Damaged},
        {"the checksum flipped", flipped(good.size() - 1), Status::Damaged},
        {"another magic", flipped(0), Status::Damaged},
        {"count past the data, summed", Resummed(countTooLarge), Status::Damaged},
        {"version 0", versioned(0), Status::Damaged},
        {"azimuth 99999, summed", forged(2, 99999), Status::Damaged},
        {"elevation 2^31 - 1, summed", forged(3, 0x7FFFFFFF), Status::Damaged},
        {"distance 0 cm, summed", forged(4, 0), Status::Damaged},
        {"width -1, summed", forged(5, 0xFFFFFFFF), Status::Damaged},
        {"a pan not its azimuth's fold, summed", forged(1, 33), Status::Damaged},
        {"version 2", versioned(2), Status::NewerVersion},
        {"version 200, any body", good.substr(0, 8) + std::string("\xC8\0\0\0", 4) + "junk",
         Status::NewerVersion},
    };
    TempDir state;
    RecoveryFolder folder(state.File("recovery"));
    std::string reason;
    ASSERT_TRUE(folder.Open(reason)) << reason;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.JournalPathFor(c.name);
        WriteAll(path, c.bytes);
        RecoveryJournal read;
        EXPECT_EQ(RecoveryJournal::ReadFrom(path, read), c.expected);
        EXPECT_EQ(read, RecoveryJournal()) << "a refused journal fills nothing in";
        const std::string aside = folder.SetAside(path);
        ASSERT_FALSE(aside.empty());
        EXPECT_EQ(ReadAll(aside), c.bytes);
        EXPECT_TRUE(folder.JournalPaths().empty());
    }
    RecoveryJournal read;
    EXPECT_EQ(RecoveryJournal::ReadFrom(state.File("missing"), read), Status::Unreadable);
}

TEST(RecoveryFolder, TellsALiveRunsJournalsFromADeadOnes) {
    TempDir state;
    const std::string path = state.File("sonomap/recovery");
    auto first = std::make_unique<RecoveryFolder>(path);
    RecoveryFolder second(path);
    std::string reason;
    ASSERT_TRUE(first->Open(reason)) << reason;
    ASSERT_TRUE(second.Open(reason)) << reason;
    const uint64_t firstToken = first->Token();
    EXPECT_NE(firstToken, second.Token());
    // Two runs editing one file keep a journal each.
    EXPECT_NE(first->JournalPathFor("/a.wav"), second.JournalPathFor("/a.wav"));
    EXPECT_NE(first->JournalPathFor("/a.wav"), first->JournalPathFor("/b.wav"));
    EXPECT_EQ(second.LeftJournalsFor("/a.wav"), std::vector<std::string>());
    WriteAll(first->JournalPathFor("/a.wav"), "x");
    WriteAll(first->JournalPathFor("/b.wav"), "x");
    EXPECT_EQ(second.LeftJournalsFor("/a.wav"),
              std::vector<std::string>{first->JournalPathFor("/a.wav")});
    EXPECT_EQ(first->LeftJournalsFor("/a.wav"), std::vector<std::string>());
    std::filesystem::remove(first->JournalPathFor("/a.wav"));
    std::filesystem::remove(first->JournalPathFor("/b.wav"));

    const struct {
        const char* name;
        std::function<void()> step;
        bool bAlive;
    } cases[] = {
        {"itself", [] {}, true},
        {"running", [] {}, true},
        {"ended normally", [&] { first.reset(); }, false},
        {"lock file left, no lock held",
         [&] { WriteAll(path + "/" + std::string(15, '0') + "1.lock", ""); }, false},
    };
    const uint64_t tokens[] = {second.Token(), firstToken, firstToken, 1};
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        cases[i].step();
        EXPECT_EQ(second.IsOwnerAlive(tokens[i]), cases[i].bAlive);
    }
    second.ForgetDeadOwner(1);
    EXPECT_EQ(FilesIn(path), 1u) << "only the live run's lock is left";
}

TEST(RecoveryFolder, OpeningClearsWhatKilledRunsLeftLongEnoughAgo) {
    TempDir state;
    const std::string path = state.File("recovery");
    RecoveryFolder live(path);
    std::string reason;
    ASSERT_TRUE(live.Open(reason)) << reason;
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(5);
    const struct {
        std::string name;
        bool bOld;
        bool bKept;
    } cases[] = {
        {std::string(15, '0') + "1.lock", true, false},
        {std::string(15, '0') + "2.lock", false, true},
        {".0000000000000003.journal.saving-AbCdEf", true, false},
        {".0000000000000004.journal.saving-AbCdEf", false, true},
        {"0000000000000005.journal", true, true},
        {"0000000000000006.journal.set-aside-1", true, true},
    };
    for (const auto& c : cases) {
        WriteAll(path + "/" + c.name, "x");
        if (c.bOld) {
            std::filesystem::last_write_time(path + "/" + c.name, old);
        }
    }
    // The live run's lock is old too, and held.
    std::filesystem::last_write_time(path + "/" + RecoveryFolderLockName(live.Token()), old);

    RecoveryFolder next(path);
    ASSERT_TRUE(next.Open(reason)) << reason;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(std::filesystem::exists(path + "/" + c.name), c.bKept);
    }
    EXPECT_TRUE(live.IsOwnerAlive(live.Token()));
    EXPECT_TRUE(next.IsOwnerAlive(live.Token()));
}

// What else may lie in the folder under a journal's name is never read as one: no wait on a
// pipe, no endless read of a device, no exception from a folder.
TEST(RecoveryFolder, OnlyPlainFilesOfBoundedSizeAreReadAsJournals) {
    TempDir state;
    RecoveryFolder folder(state.File("recovery"));
    std::string reason;
    ASSERT_TRUE(folder.Open(reason)) << reason;
    const std::string journal = folder.JournalPathFor("/a.wav", 7);
    WriteAll(journal, RecoveryJournal().Encode());
    const struct {
        const char* name;
        std::function<void(const std::string& path)> make;
        Status status;
    } cases[] = {
        {"a folder", [](const std::string& p) { std::filesystem::create_directory(p); },
         Status::Unreadable},
        {"a pipe", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
         Status::Unreadable},
        {"a link to an endless device",
         [](const std::string& p) { std::filesystem::create_symlink("/dev/zero", p); },
         Status::Unreadable},
        {"a link to a journal",
         [&](const std::string& p) { std::filesystem::create_symlink(journal, p); },
         Status::Unreadable},
        {"larger than any journal",
         [](const std::string& p) {
             WriteAll(p, "");
             std::filesystem::resize_file(p, RecoveryJournal::kMaxBytes + 1);
         },
         Status::Damaged},
    };
    for (uint64_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        const std::string path = folder.JournalPathFor("/a.wav", 100 + i);
        cases[i].make(path);
        RecoveryJournal read;
        EXPECT_EQ(RecoveryJournal::ReadFrom(path, read), cases[i].status);
    }
    // Listed are the plain files only: the journal, and the one too large to be one.
    std::vector<std::string> listed = folder.JournalPaths();
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{journal, folder.JournalPathFor("/a.wav", 104)}));
}

TEST(RecoveryFolder, AFolderThatCannotBeMadeKeepsNoJournals) {
    TempDir state;
    WriteAll(state.File("file"), "not a folder");
    const struct {
        const char* name;
        std::string path;
    } cases[] = {{"under a file", state.File("file/recovery")}, {"no home", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecoveryFolder folder(c.path);
        std::string reason;
        EXPECT_FALSE(folder.Open(reason));
        EXPECT_FALSE(reason.empty());
        EXPECT_FALSE(folder.IsOpen());
    }
}

TEST(JournalWriter, CarriesOutTheLatestRequestForEachFile) {
    TempDir dir;
    std::atomic<int> failures{0};
    std::string lastFailure;
    JournalWriter writer([&](const std::string& reason) {
        lastFailure = reason;
        ++failures;
    });
    RecoveryJournal a = Sample();
    RecoveryJournal b = Sample();
    b.points.pop_back();
    const struct {
        const char* name;
        std::function<void()> requests;
        std::optional<RecoveryJournal> expected;  // none: no file
    } cases[] = {
        {"write", [&] { writer.Write(dir.File("j"), a); }, a},
        {"two writes, the last counts",
         [&] {
             writer.Write(dir.File("j"), a);
             writer.Write(dir.File("j"), b);
         },
         b},
        {"remove", [&] { writer.Remove(dir.File("j")); }, std::nullopt},
        {"write then remove",
         [&] {
             writer.Write(dir.File("j"), a);
             writer.Remove(dir.File("j"));
         },
         std::nullopt},
        {"remove what is not there", [&] { writer.Remove(dir.File("j")); }, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.requests();
        writer.Flush();
        RecoveryJournal read;
        const Status status = RecoveryJournal::ReadFrom(dir.File("j"), read);
        if (c.expected) {
            ASSERT_EQ(status, Status::Ok);
            read.fileBytes = c.expected->fileBytes;  // stamped by the writer: no key file here
            read.fileMtimeNs = c.expected->fileMtimeNs;
            EXPECT_EQ(read, *c.expected);
        } else {
            EXPECT_EQ(status, Status::Unreadable);
        }
    }
    EXPECT_EQ(failures, 0);
    writer.Write(dir.File("gone/j"), a);
    writer.Flush();
    EXPECT_EQ(failures, 1);
    EXPECT_NE(lastFailure.find("gone/j"), std::string::npos) << lastFailure;
}

TEST(RecoveryJournal, SnapshotTakesTheDocumentsKeyPointsAndUndoPosition) {
    TestDocumentHost host;
    TempDir dir;
    const std::string sound = dir.File("take.wav");
    const struct {
        const char* name;
        std::string path;
        std::string importSource;
        std::string expectedKey;
        bool bImported;
    } cases[] = {
        {"native", sound, "", sound, false},
        {"imported", "", "/music/take.flac", "/music/take.flac", true},
        {"imported, then saved", sound, "/music/take.flac", sound, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<CTesselDoc> doc = MemoryDocument(host, TestSound());
        doc->SetPathName(c.path);
        doc->SetImportSource(c.importSource);
        doc->BeginGroup(UndoKind::Replace);
        doc->AddPoint(Point(10, 160, 30, 250, 40));
        doc->EndGroup();
        doc->BeginEdit(doc->AddPoint(100, -30), UndoKind::Add);
        doc->EndEdit();
        const RecoveryJournal journal = RecoveryJournal::Snapshot(*doc, 42);
        EXPECT_EQ(journal.key, c.expectedKey);
        EXPECT_EQ(journal.bImported, c.bImported);
        EXPECT_EQ(journal.ownerToken, 42u);
        EXPECT_EQ(journal.undoPosition, 2u);
        EXPECT_EQ(journal.points, doc->GetPanPoints().Values());
        EXPECT_GT(journal.lastEditMs, 0);
    }
}

TEST(RecoveryJournal, KnowsWhenItsFileChangedOnDisk) {
    TempDir dir;
    RecoveryJournal journal = Sample();
    journal.key = dir.File("take.wav");
    WriteAll(journal.key, "1234");
    journal.StampKeyFile();
    EXPECT_EQ(journal.fileBytes, 4u);
    EXPECT_FALSE(journal.KeyFileChanged());
    const struct {
        const char* name;
        std::function<void()> change;
    } cases[] = {
        {"longer", [&] { WriteAll(journal.key, "12345"); }},
        {"same size, touched",
         [&] {
             WriteAll(journal.key, "1234");
             struct timespec times[2] = {{0, UTIME_OMIT}, {1000, 0}};
             ::utimensat(AT_FDCWD, journal.key.c_str(), times, 0);
         }},
        {"gone", [&] { std::remove(journal.key.c_str()); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        journal.StampKeyFile();
        c.change();
        EXPECT_TRUE(journal.KeyFileChanged());
    }
}

}  // namespace

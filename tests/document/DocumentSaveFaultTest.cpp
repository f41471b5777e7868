// Saving under faults: a full disk, a folder we may not write, a process killed mid-save.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "document/CTesselDoc.h"
#include "document/DocumentOpen.h"
#include "document/DocumentSave.h"
#include "platform/SafeFileWriter.h"
#include "platform/WriteFailure.h"
#include "support/DocumentTestFiles.h"
#include "support/FileSizeLimit.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"

namespace fs = std::filesystem;

namespace {

TestSound BigSound(size_t bytes) {
    TestSound sound;
    sound.format = MakeFormat(2, 44100, 16);
    sound.samples = Pattern(bytes, 5);
    sound.points = {{0, -90}, {100, 90}};
    sound.chunkFrames = FramesOf(sound);
    sound.chunksAfter = Chunk("LIST", Bytes{'a', 'b', 'c'}, false);
    return sound;
}

}  // namespace

TEST(DocumentSaveFaults, AFullDiskLeavesTheOriginalAndNoTempFile) {
    TempDir dir;
    const std::string path = dir.File("take.wav");
    WriteBytes(path, BuildSoundFile(BigSound(400000)));
    const Bytes before = ReadBytes(path);
    TestDocumentHost host;
    CTesselDoc doc(host);
    ASSERT_TRUE(DocumentOpen(doc).Open(path));
    doc.AddPoint(7, 7);
    doc.SetModifiedFlag(true);
    {
        // The kernel cuts the sample write short, as a full disk does.
        FileSizeLimit limit(200000);
        EXPECT_FALSE(DocumentSave(doc).Save());
    }
    ASSERT_EQ(host.prompts.Boxes().size(), 1u);
    EXPECT_EQ(host.prompts.Boxes()[0].text, "Error saving samples!");
    // The size limit's own error; ENOSPC names the full disk in its place.
    EXPECT_EQ(host.prompts.Boxes()[0].informative,
              "The file grew past the largest size allowed for it in " + dir.Path().string() + ".");
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(FilesIn(dir.Path()), 1u);

    // The same through Save As to a new name leaves no file at all.
    host.prompts.Clear();
    host.saveNames.push_back(TestDocumentHost::Name(dir.File("new.wav"), 1));
    {
        FileSizeLimit limit(200000);
        EXPECT_FALSE(DocumentSave(doc).SaveAs());
    }
    EXPECT_FALSE(fs::exists(dir.File("new.wav")));
    EXPECT_EQ(FilesIn(dir.Path()), 1u);
    EXPECT_EQ(doc.GetPathName(), path);
}

TEST(DocumentSaveFaults, EachStepOfTheSaveReportsItsOwnFailure) {
    // 8-bit mono, an odd sample count (so the data chunk gets a pad byte), two points and an
    // unknown chunk: 44 bytes of headers, 2001 + 1 of samples, 8 + 44 of pan chunk, then the
    // carried chunk. A file-size limit at each place fails exactly that step.
    TestSound sound;
    sound.format = MakeFormat(1, 11025, 8);
    sound.samples = Pattern(2001, 4);
    sound.points = {{0, -90}, {2001, 90}};
    sound.chunkFrames = 2001;
    sound.chunksAfter = Chunk("LIST", Bytes(100, 'x'), false);
    const struct {
        rlim_t limit;
        std::vector<std::string> texts;
    } cases[] = {
        {20, {"Error creating file header!"}},
        {44 + 2001, {"Error closing samples section!"}},
        {44 + 2002 + 30, {"Error saving achunk!"}},
        {44 + 2002 + 52 + 50, {"Error saving unrecognized chunks!", "Error closing wave file!"}},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string path = dir.File("take.wav");
        WriteBytes(path, BuildSoundFile(sound));
        const Bytes before = ReadBytes(path);
        TestDocumentHost host;
        CTesselDoc doc(host);
        ASSERT_TRUE(DocumentOpen(doc).Open(path));
        doc.SetModifiedFlag(true);
        {
            FileSizeLimit limit(c.limit);
            EXPECT_FALSE(DocumentSave(doc).Save()) << c.limit;
        }
        EXPECT_EQ(host.prompts.Texts(), c.texts) << c.limit;
        for (const auto& box : host.prompts.Boxes()) {
            EXPECT_EQ(box.helpId, 103u);
            EXPECT_EQ(box.icon, UserPrompts::Icon::None);
        }
        EXPECT_TRUE(doc.IsModified());
        EXPECT_EQ(ReadBytes(path), before) << c.limit;
        EXPECT_EQ(FilesIn(dir.Path()), 1u) << c.limit;
    }
}

TEST(DocumentSaveFaults, NoMemoryForTheSamplesAbortsTheOpen) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#endif
#endif
    TempDir dir;
    TestSound sound;
    sound.samples = Bytes(96u << 20, 0);
    const std::string path = dir.File("big.wav");
    WriteBytes(path, BuildSoundFile(sound));
    sound.samples.clear();
    sound.samples.shrink_to_fit();

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Room for everything but the sound's 96 MB.
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
        std::ifstream status("/proc/self/status");
        std::string line;
        rlim_t used = 0;
        while (std::getline(status, line)) {
            if (line.rfind("VmSize:", 0) == 0) {
                used = std::stoull(line.substr(7)) * 1024;
            }
        }
        limit.rlim_cur = used + (32u << 20);
        if (setrlimit(RLIMIT_AS, &limit) != 0) {
            _exit(10);
        }
        TestDocumentHost host;
        CTesselDoc doc(host);
        const bool bOpened = DocumentOpen(doc).Open(path);
        const bool bSaid =
            host.prompts.Boxes().size() == 1 &&
            host.prompts.Boxes()[0].text == "Error allocating memory for waveform!\n" &&
            host.prompts.Boxes()[0].helpId == 101 && !host.prompts.IsProcessingWindowOpen();
        _exit(!bOpened && bSaid ? 0 : 11);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(DocumentSaveFaults, AFolderWeMayNotWriteRefusesTheSaveAndKeepsTheFile) {
    TempDir dir;
    const fs::path folder = dir.Path() / "locked";
    fs::create_directory(folder);
    const std::string path = (folder / "take.wav").string();
    WriteBytes(path, BuildSoundFile(BigSound(4000)));
    const Bytes before = ReadBytes(path);
    fs::permissions(dir.Path(),
                    fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    // The file itself may be written (else Save would turn into Save As); its folder not.
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read |
                              fs::perms::others_write);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                fs::perms::others_exec);

    // Root may write anywhere, so the save runs in a child that gives that up.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(10);
        }
        TestDocumentHost host;
        CTesselDoc doc(host);
        if (!DocumentOpen(doc).Open(path)) {
            _exit(11);
        }
        doc.SetModifiedFlag(true);
        if (DocumentSave(doc).Save()) {
            _exit(12);
        }
        const bool bSaid = host.prompts.Boxes().size() == 1 &&
                           host.prompts.Boxes()[0].text == "Access to " + path + " was denied.";
        _exit(bSaid && doc.IsModified() ? 0 : 13);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(FilesIn(folder), 1u);
    fs::permissions(folder, fs::perms::owner_all);
}

TEST(DocumentSaveFaults, AKilledSaveLeavesExactlyTheOldOrTheNewBytes) {
    TempDir dir;
    const std::string path = dir.File("take.wav");
    const Bytes oldBytes = BuildSoundFile(BigSound(8 << 20));
    WriteBytes(path, oldBytes);

    // What a finished save writes, and how long it takes.
    TestDocumentHost host;
    CTesselDoc doc(host);
    ASSERT_TRUE(DocumentOpen(doc).Open(path));
    doc.AddPoint(50, 12);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(DocumentSave(doc).WriteTo(dir.File("reference.wav")));
    const auto saveTime = std::chrono::steady_clock::now() - started;
    const Bytes newBytes = ReadBytes(dir.File("reference.wav"));
    ASSERT_NE(newBytes, oldBytes);

    int sawOld = 0, sawNew = 0;
    for (int step = 0; step <= 10; ++step) {
        WriteBytes(path, oldBytes);
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(ready[0]);
            const char go = 1;
            if (write(ready[1], &go, 1) != 1) {
                _exit(2);
            }
            _exit(DocumentSave(doc).WriteTo(path) ? 0 : 1);
        }
        close(ready[1]);
        char go = 0;
        ASSERT_EQ(read(ready[0], &go, 1), 1);
        close(ready[0]);
        std::this_thread::sleep_for(saveTime * step / 8);  // the last ones land after the end
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);

        const Bytes now = ReadBytes(path);
        ASSERT_TRUE(now == oldBytes || now == newBytes) << "step " << step;
        (now == oldBytes ? sawOld : sawNew)++;
    }
    EXPECT_GT(sawOld, 0);  // a kill early in the save leaves the old file
}

TEST(SafeFileWriter, KeepsTheModeOfTheFileItReplacesAndFollowsALink) {
    TempDir dir;
    const std::string target = dir.File("shared.wav");
    WriteBytes(target, Bytes{1, 2, 3});
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                fs::perms::others_read);
    const std::string link = dir.File("link.wav");
    fs::create_symlink(target, link);
    {
        SafeFileWriter writer(link);
        writer.Begin().Write("new", 3);
        EXPECT_EQ(ReadBytes(target), (Bytes{1, 2, 3}));  // nothing changes before Commit
        writer.Commit();
    }
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadBytes(target), (Bytes{'n', 'e', 'w'}));
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
    {
        SafeFileWriter abandoned(target);
        abandoned.Begin().Write("lost", 4);
    }
    EXPECT_EQ(ReadBytes(target), (Bytes{'n', 'e', 'w'}));
    EXPECT_EQ(FilesIn(dir.Path()), 2u);
}

TEST(WriteFailure, NamesTheFolderAndTheCause) {
    const struct {
        int error;
        const char* said;
    } cases[] = {
        {ENOSPC, "The disk holding /music/out is full."},
        {EROFS, "The folder /music/out is on a read-only disk."},
        {EACCES, "The folder /music/out is read-only: Sonomap may not write there."},
        {ENOENT, "The folder /music/out does not exist."},
        {EIO, "Writing into /music/out failed: Input/output error."},
        {0, "Writing into /music/out failed."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WriteFailure::Reason(c.error, "/music/out/.take.wav.saving-AbCdEf"), c.said);
    }
}

// A save killed half-way leaves its temp file. It goes once it is old and no live writer holds
// it; a live writer's, a young one and a link of that name stay.
TEST(SafeFileWriter, ClearsWhatKilledWritersLeftAndNothingElse) {
    TempDir dir;
    const std::string target = dir.File("take.wav");
    WriteBytes(target, Bytes{1});
    // The temp file a writer killed after Begin leaves behind.
    const auto killedWriter = [&] {
        const std::set<fs::path> before(fs::directory_iterator(dir.Path()), {});
        const pid_t child = fork();
        if (child == 0) {
            SafeFileWriter writer(target);
            writer.Begin().Write("half", 4);
            _exit(0);  // no destructor runs, as after a kill
        }
        waitpid(child, nullptr, 0);
        for (const auto& entry : fs::directory_iterator(dir.Path())) {
            if (before.count(entry.path()) == 0) {
                return entry.path().string();
            }
        }
        return std::string();
    };
    SafeFileWriter live(target);
    live.Begin().Write("live", 4);
    fs::create_symlink(target, dir.File(".take.wav.saving-Linked"));
    const struct {
        const char* name;
        std::string path;
        bool bOld;
        bool bGone;
    } cases[] = {
        {"a killed writer's", killedWriter(), true, true},
        {"a killed writer's, just now", killedWriter(), false, false},
        {"a live writer's", live.GetTempPath(), true, false},
        {"a link", dir.File(".take.wav.saving-Linked"), true, false},
    };
    const timespec hourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
    for (const auto& c : cases) {
        ASSERT_FALSE(c.path.empty()) << c.name;
        ::utimensat(AT_FDCWD, c.path.c_str(), c.bOld ? hourAgo : nullptr, AT_SYMLINK_NOFOLLOW);
    }
    EXPECT_EQ(SafeFileWriter::RemoveStaleTempFiles(target), 1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(fs::exists(fs::symlink_status(c.path)), !c.bGone);
    }
    live.Commit();
    EXPECT_EQ(ReadBytes(target), (Bytes{'l', 'i', 'v', 'e'}));
}

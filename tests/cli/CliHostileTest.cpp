// sonomap-cli against hostile input and a hostile system: outputs that are inputs under
// another name, files whose sizes lie, XML built to exhaust, signals in the middle of a render,
// folders that cannot take the output. Each ends in a message and leaves the user's files as
// they were.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "CliRun.h"
#include "support/DocumentTestFiles.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

class CliHostileTest : public ::testing::Test {
  protected:
    std::string Write(const std::string& name, const Bytes& bytes) {
        fs::create_directories(fs::path(dir.File(name)).parent_path());
        WriteBytes(dir.File(name), bytes);
        return dir.File(name);
    }
    std::string Sound(const std::string& name) {
        TestSound sound;
        sound.points = {{0, -90}, {1000, 90}};
        sound.chunkFrames = FramesOf(sound);
        return Write(name, BuildSoundFile(sound));
    }

    TempDir dir;
};

// A 16-bit mono WAV at 48000 Hz whose samples an "axml" chunk of xml follows, declaring
// declared bytes when given.
Bytes WithAxml(const std::string& xml, uint32_t declared = 0) {
    Bytes chunks = Chunk("fmt ", FmtPayload(MakeFormat(1, 48000, 16)), false);
    Append(chunks, Chunk("data", Pattern(400), false));
    const Bytes text(xml.begin(), xml.end());
    Append(chunks, declared != 0 ? ChunkDeclaring("axml", declared, text, false)
                                 : Chunk("axml", text, false));
    return Form("RIFF", "WAVE", chunks, false);
}

std::string Repeated(const std::string& text, size_t times) {
    std::string out;
    out.reserve(text.size() * times);
    for (size_t i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

// The hidden files a save or an export leaves beside its target while it writes.
size_t TempFilesIn(const fs::path& folder) {
    size_t count = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        count += entry.path().filename().string().find(".saving-") != std::string::npos;
    }
    return count;
}

}  // namespace

TEST_F(CliHostileTest, NoOutputReachesAnInputByAnyName) {
    fs::create_directories(dir.File("real"));
    const std::string in = Sound("real/in.wav");
    const std::string other = Sound("real/other.wav");
    const std::string outside = Sound("other.wav");
    fs::create_symlink(in, dir.File("link.wav"));
    fs::create_hard_link(in, dir.File("hard.wav"));
    fs::create_hard_link(other, dir.File("real/twin.wav"));
    fs::create_directory_symlink(dir.File("real"), dir.File("alias"));
    const Bytes before = ReadBytes(in);
    const Bytes otherBefore = ReadBytes(other);
    const struct {
        const char* name;
        std::string args;
        int exitCode;
    } cases[] = {
        {"render to a link", "render " + in + " -o " + dir.File("link.wav"), 1},
        {"ADM render to a hard link", "render " + in + " --adm -o " + dir.File("hard.wav"), 1},
        {"render into an alias of the folder",
         "render " + in + " " + other + " --output-dir " + dir.File("alias"), 1},
        {"a batch's output is its other input",
         "render " + outside + " " + dir.File("real/twin.wav") + " --output-dir " +
             dir.File("real"),
         1},
        {"import to a link", "import " + in + " " + dir.File("link.wav"), 2},
        {"save-as onto itself through a link", "save-as " + in + " " + dir.File("link.wav"), 1},
        {"set-points saved onto itself through the aliased folder",
         "set-points " + other + " --points 0:10 --save-as " + dir.File("alias/other.wav"), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CliRun run = RunCli(dir, c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_EQ(ReadBytes(in), before);
        EXPECT_EQ(ReadBytes(other), otherBefore);
        EXPECT_TRUE(fs::is_symlink(dir.File("link.wav")));
    }
}

TEST_F(CliHostileTest, FilesThatLieOrOverwhelmEndInAMessage) {
    PcmFormat lying = MakeFormat(1, 22050, 16);
    lying.blockAlign = 4;
    const struct {
        const char* name;
        Bytes file;
        const char* command;  // IN and OUT follow
        int exitCode;
        const char* said;  // on stderr
    } cases[] = {
        {"frames of 4 bytes for 2", WaveFile(lying, Pattern(2000)), "render --adm", 1,
         "its frames of 4 bytes disagree with 1 channel of 16 bits"},
        {"XML nested 50000 deep", WithAxml(Repeated("<a>", 50000) + Repeated("</a>", 50000)),
         "import", 0, ""},
        {"XML of more tags than are read", WithAxml(Repeated("<x/>", (1u << 22) + 1)), "import", 1,
         "its axml chunk holds more than 4194304 tags"},
        {"XML past the size that is read", WithAxml("<r>", (64u << 20) + 1), "import", 1,
         "its axml chunk of 67108865 bytes is larger than the 64 MiB of XML Sonomap reads"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string in = Write("in.wav", c.file);
        const std::string out = dir.File("out.wav");
        fs::remove(out);
        const bool bRender = std::string(c.command).starts_with("render");
        const CliRun run =
            RunCli(dir, std::string(c.command) + " " + in + " " + (bRender ? "-o " : "") + out);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
        EXPECT_EQ(fs::exists(out), c.exitCode == 0);
    }
}

TEST_F(CliHostileTest, AFolderThatTakesNoOutputIsNamedWithTheCause) {
    const std::string in = Sound("in.wav");
    fs::create_directories(dir.File("locked"));
    fs::permissions(dir.File("locked"), fs::perms::owner_read | fs::perms::owner_exec);
    const bool bRoot = ::geteuid() == 0;  // writes where it likes
    const struct {
        const char* name;
        std::string out;
        std::string env;
        std::string said;
    } cases[] = {
        {"missing", dir.File("missing/out.wav"), "",
         "The folder " + dir.File("missing") + " does not exist."},
        {"read-only", dir.File("locked/out.wav"), "",
         bRoot ? "" : "The folder " + dir.File("locked") + " is read-only"},
        // The kernel cuts the file short, as a full disk does, with the size limit's own error.
        {"too small", dir.File("out.wav"), "trap '' XFSZ; ulimit -f 1; ",
         "The file grew past the largest size allowed for it in " + dir.Path().string()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.said.empty()) {
            continue;
        }
        const CliRun run = RunCli(dir, "render " + in + " -o " + c.out, c.env);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find("Error writing wave data!\n" + c.said), std::string::npos)
            << run.err;
        EXPECT_FALSE(fs::exists(c.out));
    }
    fs::permissions(dir.File("locked"), fs::perms::owner_all);
    EXPECT_EQ(TempFilesIn(dir.Path()), 0u);
}

TEST_F(CliHostileTest, ASignalEndsARenderWithoutItsTempFile) {
    TestSound longSound;
    longSound.format = MakeFormat(1, 44100, 16);
    longSound.samples = Pattern(44100 * 2 * 240);  // four minutes
    longSound.points = {{0, -90}, {44100 * 240, 90}};
    longSound.chunkFrames = FramesOf(longSound);
    const std::string in = Write("long.wav", BuildSoundFile(longSound));
    for (const int signal : {SIGINT, SIGHUP, SIGTERM}) {
        SCOPED_TRACE(signal);
        const std::string out = dir.File("out.wav");
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            // As a terminal would deliver them, whatever the test runner ignores or blocks.
            for (const int each : {SIGINT, SIGHUP, SIGTERM}) {
                ::signal(each, SIG_DFL);
            }
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            const int devNull = ::open("/dev/null", O_WRONLY);
            ::dup2(devNull, STDOUT_FILENO);
            ::dup2(devNull, STDERR_FILENO);
            ::execl(SONOMAP_CLI_PATH, SONOMAP_CLI_PATH, "render", in.c_str(), "-o", out.c_str(),
                    "--sample-format", "f32", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Once the temp file is there, the render is under way.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (TempFilesIn(dir.Path()) == 0 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ASSERT_EQ(TempFilesIn(dir.Path()), 1u) << "the render never began";
        ::kill(pid, signal);
        int status = 0;
        const auto given = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > given) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                FAIL() << "the render went on after the signal";
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_EQ(TempFilesIn(dir.Path()), 0u);
        EXPECT_FALSE(fs::exists(out));
    }
}

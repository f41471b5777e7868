#include "platform/PathNames.h"

#include <gtest/gtest.h>

TEST(PathNames, SplitsAtTheLastSeparatorAndOnlyTheNameHasAnExtension) {
    EXPECT_EQ(PathNames::FileName("/home/u/take.wav"), "take.wav");
    EXPECT_EQ(PathNames::FolderOf("/home/u/take.wav"), "/home/u/");
    EXPECT_EQ(PathNames::DirectoryOf("/home/u/take.wav"), "/home/u");
    EXPECT_EQ(PathNames::Extension("/home/u/take.WAV"), ".WAV");
    // A bare name, the root, a dot only in a folder, a trailing separator.
    EXPECT_EQ(PathNames::FileName("take.wav"), "take.wav");
    EXPECT_EQ(PathNames::FolderOf("take.wav"), "");
    EXPECT_EQ(PathNames::DirectoryOf("take.wav"), ".");
    EXPECT_EQ(PathNames::DirectoryOf("/take.wav"), "/");
    EXPECT_EQ(PathNames::FolderOf("/take.wav"), "/");
    EXPECT_EQ(PathNames::Extension("/my.sounds/take"), "");
    EXPECT_EQ(PathNames::Extension("take"), "");
    EXPECT_EQ(PathNames::FileName("/home/u/"), "");
    EXPECT_EQ(PathNames::NameStart("/home/u/"), 8u);
}

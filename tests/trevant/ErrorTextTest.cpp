#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "trevant/trevant.h"

namespace {

TEST(ErrorText, EveryCodeHasAShortZeroTerminatedText) {
    for (const int code : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 21, 99, -5}) {
        SCOPED_TRACE(code);
        char buffer[256];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(AmbrelWaveMixGetErrorText(code, buffer, 255), 0);
        const size_t length = ::strnlen(buffer, sizeof buffer);
        EXPECT_GT(length, 0u);
        EXPECT_LE(length, 255u);
    }
    char busy[256];
    AmbrelWaveMixGetErrorText(21, busy, 255);
    EXPECT_NE(std::string(busy).find("WaveOut"), std::string::npos);
    char first[256];
    AmbrelWaveMixGetErrorText(99, first, 255);
    char second[256];
    AmbrelWaveMixGetErrorText(1, second, 255);
    EXPECT_STRNE(first, second);
}

TEST(ErrorText, ShortBufferIsCutAndTerminatedWithoutWritingPastIt) {
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(AmbrelWaveMixGetErrorText(4, buffer, 10), 0);
    EXPECT_EQ(std::strlen(buffer), 10u);
    EXPECT_EQ(buffer[11], 'x');
    EXPECT_EQ(AmbrelWaveMixGetErrorText(4, nullptr, 10), AMBREL_WAVEMIX_ERR_BAD_PARAM);
    char empty[2] = {'x', 'x'};
    EXPECT_EQ(AmbrelWaveMixGetErrorText(4, empty, 0), 0);
    EXPECT_EQ(empty[0], '\0');
    EXPECT_EQ(empty[1], 'x');
}

}  // namespace

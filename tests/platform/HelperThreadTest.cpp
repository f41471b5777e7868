// A helper takes one task while the caller takes the other, however long the caller waits
// between hand-overs (the helper still spinning, or asleep), stops when it is let go at any
// moment, and hands back its own exception first.
#include "platform/HelperThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

using namespace std::chrono_literals;

TEST(HelperThread, EveryHandOverRunsBothTasksWhateverTheWaitBetween) {
    // Back to back, within the helper's spin, and past it.
    for (const std::chrono::microseconds gap : {0us, 50us, 1000us}) {
        HelperThread helper;
        int there = 0;
        int here = 0;
        std::thread::id thereOn;
        for (int n = 0; n < 200; ++n) {
            helper.Both(
                [&] {
                    ++there;
                    thereOn = std::this_thread::get_id();
                },
                [&] { ++here; });
            std::this_thread::sleep_for(gap);
        }
        EXPECT_EQ(there, 200) << gap.count() << " us";
        EXPECT_EQ(here, 200) << gap.count() << " us";
        EXPECT_NE(thereOn, std::this_thread::get_id()) << gap.count() << " us";
    }
    // Let go while it spins, or before it ever had work.
    for (int n = 0; n < 50; ++n) {
        HelperThread helper;
        if (n % 2 == 0) {
            helper.Both([] {}, [] {});
        }
    }
}

TEST(HelperThread, TheHelpersExceptionComesBackFirstAndTheHelperServesOn) {
    struct Case {
        bool bThere;
        bool bHere;
        const char* thrown;
    };
    HelperThread helper;
    for (const Case& c :
         {Case{true, true, "there"}, Case{true, false, "there"}, Case{false, true, "here"}}) {
        std::string caught;
        try {
            helper.Both(
                [&] {
                    if (c.bThere) {
                        throw std::runtime_error("there");
                    }
                },
                [&] {
                    if (c.bHere) {
                        throw std::runtime_error("here");
                    }
                });
        } catch (const std::runtime_error& error) {
            caught = error.what();
        }
        EXPECT_EQ(caught, c.thrown);
        std::atomic<int> ran{0};
        helper.Both([&] { ++ran; }, [&] { ++ran; });
        EXPECT_EQ(ran.load(), 2) << "after " << c.thrown;
    }
}

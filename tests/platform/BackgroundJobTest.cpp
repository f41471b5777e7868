#include "platform/BackgroundJob.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

TEST(BackgroundJob, JobsRunOneAtATimeOffTheCallersThreadAndReturnTheirResults) {
    BackgroundJob job;
    EXPECT_TRUE(job.Wait());  // nothing handed over yet
    const std::thread::id caller = std::this_thread::get_id();
    std::vector<int> order;
    std::atomic<int> running{0};
    bool bOverlapped = false;
    bool bOnCaller = false;
    for (int k = 0; k < 20; ++k) {
        job.Start([&, k] {
            bOverlapped = bOverlapped || running.fetch_add(1) != 0;
            bOnCaller = bOnCaller || std::this_thread::get_id() == caller;
            order.push_back(k);
            running.fetch_sub(1);
            return k % 3 != 2;
        });
        EXPECT_EQ(job.Wait(), k % 3 != 2) << k;
    }
    EXPECT_FALSE(bOverlapped);
    EXPECT_FALSE(bOnCaller);
    std::vector<int> want(20);
    for (int k = 0; k < 20; ++k) {
        want[size_t(k)] = k;
    }
    EXPECT_EQ(order, want);
}

TEST(BackgroundJob, AnExceptionOfAJobIsThrownByWaitAndTheNextJobStillRuns) {
    BackgroundJob job;
    job.Start([]() -> bool { throw std::runtime_error("disk gone"); });
    EXPECT_THROW(job.Wait(), std::runtime_error);
    job.Start([] { return true; });
    EXPECT_TRUE(job.Wait());
}

TEST(BackgroundJob, DestructionWaitsForTheJobInHand) {
    std::atomic<bool> bDone{false};
    {
        BackgroundJob job;
        job.Start([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            bDone = true;
            return true;
        });
    }
    EXPECT_TRUE(bDone);
}

// The processor time that --stats reports: every thread's, and none of the
// time the process spends waiting.
#include "processor_time.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

namespace qarn::render {
namespace {

TEST(ProcessorTime, CountsEveryThreadsWorkAndNoWaiting) {
    // Waiting costs next to nothing, however long it lasts.
    const double beforeSleep = ProcessorSeconds();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const double slept = ProcessorSeconds() - beforeSleep;
    EXPECT_GE(slept, 0.0);
    EXPECT_LT(slept, 0.15);

    // Two threads compute while this one only waits: the process's time
    // grows with theirs (a generous limit on the wait, for a loaded machine).
    const double start = ProcessorSeconds();
    std::atomic<bool> stop{false};
    std::atomic<std::uint64_t> sink{0};
    std::vector<std::thread> workers;
    for (int i = 0; i < 2; ++i)
        workers.emplace_back([&] {
            std::uint64_t x = 1;
            while (!stop.load(std::memory_order_relaxed))
                for (int k = 0; k < 100000; ++k) x = x * 6364136223846793005u + 1442695040888963407u;
            sink += x;
        });
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (ProcessorSeconds() - start < 0.2 && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    stop = true;
    for (std::thread& worker : workers) worker.join();
    EXPECT_GE(ProcessorSeconds() - start, 0.2) << "the workers' time is counted";
}

}  // namespace
}  // namespace qarn::render

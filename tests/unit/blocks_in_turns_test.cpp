#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "common/blocks_in_turns.h"

namespace tarvik {
namespace {

std::string Expected(std::size_t count) {
    std::string all;
    for (std::size_t i = 0; i < count; ++i) all += "block " + std::to_string(i) + "\n";
    return all;
}

// Every block comes once, in order, whichever thread made it, for any count; the second
// thread is never more than two blocks ahead of what was taken.
TEST(BlocksInTurns, EveryBlockIsTakenOnceInOrder) {
    for (const std::size_t count : {0u, 1u, 2u, 3u, 10u, 257u}) {
        std::atomic<std::size_t> made{0};
        std::size_t taken = 0;
        std::size_t mostAhead = 0;
        const BlockMaker make = [&](std::size_t block, std::string& out) {
            EXPECT_TRUE(out.empty());
            ++made;
            out += "block " + std::to_string(block) + "\n";
        };
        std::string all;
        const bool whole = MakeBlocksInTurns(
            count, make, make,
            [&](const std::string& block) {
                all += block;
                ++taken;
                mostAhead = std::max(mostAhead, made.load() - taken);
            },
            [] { return false; });
        EXPECT_TRUE(whole);
        EXPECT_EQ(all, Expected(count)) << count;
        EXPECT_LE(mostAhead, 3u);
    }
}

// A stop ends the blocks before the next one is taken, whichever thread made it: what
// was taken is a whole prefix, and the second thread, waiting or making, is ended.
TEST(BlocksInTurns, AStopLeavesAWholePrefix) {
    const BlockMaker make = [](std::size_t block, std::string& out) {
        out += "block " + std::to_string(block) + "\n";
    };
    std::string all;
    std::size_t taken = 0;
    const bool whole = MakeBlocksInTurns(
        1000, make, make,
        [&](const std::string& block) {
            all += block;
            ++taken;
        },
        [&] { return taken >= 5; });
    EXPECT_FALSE(whole);
    EXPECT_EQ(all, Expected(taken));
    EXPECT_EQ(taken, 5u);
}

}  // namespace
}  // namespace tarvik

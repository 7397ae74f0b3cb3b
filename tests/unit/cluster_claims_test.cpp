#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "analysis/cluster_claims.h"

namespace tarvik {
namespace {

constexpr std::uint32_t kUnclaimed = UINT32_MAX;

// Who holds each cluster of [0, clusters) by what Visit reports; every cluster is
// reported at most once, and in cluster order.
std::vector<std::uint32_t> HoldersByVisit(const ClusterClaims& claims, std::uint64_t from,
                                          std::uint64_t to, std::uint64_t clusters) {
    std::vector<std::uint32_t> holders(clusters, kUnclaimed);
    std::uint64_t last = from;
    claims.Visit(from, to, [&](std::uint64_t a, std::uint64_t b, std::uint32_t file) {
        EXPECT_LE(last, a);
        EXPECT_LT(a, b);
        last = b;
        for (std::uint64_t c = a; c < b; ++c) holders[c] = file;
    });
    return holders;
}

// Later claims take the clusters they share with earlier ones, whatever their order on
// the drive; checked cluster by cluster against painting an array in claim order, over
// the whole range and over parts of it.
TEST(ClusterClaims, TheLatestClaimHoldsEachCluster) {
    std::mt19937 random(25);
    for (int round = 0; round < 200; ++round) {
        constexpr std::uint64_t kClusters = 300;
        std::vector<std::uint32_t> painted(kClusters, kUnclaimed);
        ClusterClaims claims;
        const int count = static_cast<int>(random() % 40);
        for (int i = 0; i < count; ++i) {
            const std::uint64_t start = random() % kClusters;
            const std::uint64_t end = std::min<std::uint64_t>(kClusters, start + random() % 60);
            const auto file = static_cast<std::uint32_t>(random() % 8);
            claims.Add(start, end, file);
            for (std::uint64_t c = start; c < end; ++c) painted[c] = file;
        }
        claims.Settle();
        ASSERT_EQ(HoldersByVisit(claims, 0, kClusters, kClusters), painted) << round;
        const std::uint64_t from = random() % kClusters;
        const std::uint64_t to = from + 1 + random() % (kClusters - from);
        std::vector<std::uint32_t> part(kClusters, kUnclaimed);
        for (std::uint64_t c = from; c < to; ++c) part[c] = painted[c];
        ASSERT_EQ(HoldersByVisit(claims, from, to, kClusters), part) << round;
    }
}

// What is left to a claim between later ones is one piece of its own; adjacent claims of
// one file stay apart, and an empty claim claims nothing.
TEST(ClusterClaims, KeepsWhatIsLeftOfEachClaimAsAPiece) {
    ClusterClaims claims;
    claims.Add(0, 10, 1);
    claims.Add(10, 20, 1);
    claims.Add(4, 6, 2);
    claims.Add(30, 30, 3);
    claims.Settle();
    std::vector<std::vector<std::uint64_t>> pieces;
    claims.Visit(0, 100, [&](std::uint64_t a, std::uint64_t b, std::uint32_t file) {
        pieces.push_back({a, b, file});
    });
    EXPECT_EQ(pieces, (std::vector<std::vector<std::uint64_t>>{
                          {0, 4, 1}, {4, 6, 2}, {6, 10, 1}, {10, 20, 1}}));
}

}  // namespace
}  // namespace tarvik

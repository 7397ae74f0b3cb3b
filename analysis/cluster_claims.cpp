#include "analysis/cluster_claims.h"

#include <queue>

namespace tarvik {

void ClusterClaims::Add(std::uint64_t start, std::uint64_t end, std::uint32_t file) {
    if (start >= end) return;
    claims_.push_back({start, end, file, static_cast<std::uint32_t>(claims_.size())});
}

// Adjacent places that one claim holds make one piece: a piece is what is left to a
// claim between two later ones (or its own ends).
void ClusterClaims::AddPiece(std::uint64_t start, std::uint64_t end, const Claim& holder,
                             std::uint32_t& lastOrder) {
    if (!pieces_.empty() && pieces_.back().end == start && lastOrder == holder.order) {
        pieces_.back().end = end;
        return;
    }
    pieces_.push_back({start, end, holder.file});
    lastOrder = holder.order;
}

// A sweep over the places where a claim begins or ends: between two such places the
// latest of the claims that cover them holds the clusters. Claims that have ended stay in
// the queue until they come to its top.
void ClusterClaims::Settle() {
    std::sort(claims_.begin(), claims_.end(),
              [](const Claim& a, const Claim& b) { return a.start < b.start; });
    std::vector<std::uint64_t> places;
    places.reserve(claims_.size() * 2);
    for (const Claim& c : claims_) {
        places.push_back(c.start);
        places.push_back(c.end);
    }
    std::sort(places.begin(), places.end());
    places.erase(std::unique(places.begin(), places.end()), places.end());
    const auto earlier = [](const Claim& a, const Claim& b) { return a.order < b.order; };
    std::priority_queue<Claim, std::vector<Claim>, decltype(earlier)> covering(earlier);
    std::size_t next = 0;
    std::uint32_t lastOrder = 0;
    pieces_.clear();
    for (std::size_t k = 0; k + 1 < places.size(); ++k) {
        const std::uint64_t at = places[k];
        for (; next < claims_.size() && claims_[next].start <= at; ++next)
            covering.push(claims_[next]);
        while (!covering.empty() && covering.top().end <= at) covering.pop();
        if (!covering.empty()) AddPiece(at, places[k + 1], covering.top(), lastOrder);
    }
    claims_ = {};
}

}  // namespace tarvik

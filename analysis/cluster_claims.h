#pragma once
// Clusters painted with the deleted file that claimed them last: a later claim replaces
// an earlier one over the clusters they share. The claims are gathered first and settled
// once into a flat list of pieces in cluster order, so that finding the claimants of a
// range is a search in one array rather than a walk down a tree.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvik {

class ClusterClaims {
  public:
    // Clusters [start, end) claimed by `file`; claims are added in the order they were
    // written. Empty ranges are passed over.
    void Add(std::uint64_t start, std::uint64_t end, std::uint32_t file);
    // Decides who holds each claimed cluster; the claims added are let go.
    void Settle();

    // After Settle: calls visit(from, to, file) for the claimed parts of [start, end),
    // in cluster order.
    template <typename Visitor>
    void Visit(std::uint64_t start, std::uint64_t end, Visitor&& visit) const {
        auto it = std::partition_point(pieces_.begin(), pieces_.end(),
                                       [&](const Piece& p) { return p.end <= start; });
        for (; it != pieces_.end() && it->start < end; ++it)
            visit(std::max(start, it->start), std::min(end, it->end), it->file);
    }
    std::size_t size() const { return pieces_.size(); }
    std::uint64_t bytes() const {
        return claims_.capacity() * sizeof(Claim) + pieces_.capacity() * sizeof(Piece);
    }

  private:
    struct Claim {
        std::uint64_t start;
        std::uint64_t end;
        std::uint32_t file;
        std::uint32_t order;  // later claims are larger
    };
    struct Piece {
        std::uint64_t start;
        std::uint64_t end;
        std::uint32_t file;
    };
    void AddPiece(std::uint64_t start, std::uint64_t end, const Claim& holder,
                  std::uint32_t& lastOrder);

    std::vector<Claim> claims_;
    std::vector<Piece> pieces_;  // in cluster order, apart
};

}  // namespace tarvik

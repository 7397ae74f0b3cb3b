// The number index against a plain map of lists: record numbers dense from 0, numbers
// anywhere in 32 bits (a damaged or hostile image), positions added in order and out
// of order, and ranges taken before later additions.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <vector>

#include "catalogue/number_index.h"

namespace tarvik {
namespace {

using Positions = std::vector<std::size_t>;

class Checked {
  public:
    void Add(std::uint32_t number, std::uint32_t position) {
        index_.Add(number, position);
        expected_[number].push_back(position);
        ++added_;
    }
    void ReserveTable(std::uint32_t largest, std::size_t numbers) {
        index_.ReserveTable(largest, numbers);
    }
    // Appends as a catalogue does: the position is the count added so far.
    void Append(std::uint32_t number) { Add(number, added_); }

    void ExpectAll() const {
        for (const auto& [number, positions] : expected_) {
            const IndexRange found = index_.Find(number);
            ASSERT_EQ(found.ToVector(), positions) << "number " << number;
            ASSERT_EQ(found.size(), positions.size());
            ASSERT_EQ(found.front(), positions.front());
            ASSERT_EQ(found.back(), positions.back());
        }
    }
    const NumberIndex& index() const { return index_; }
    NumberIndex& index() { return index_; }
    // Reads the index's own parts back as a kept index, as a reopened scan does.
    void ReadBack(KeptIndexParts& parts) {
        parts = index_.Parts();
        index_.ReadKept(parts.positions, parts.numbers);
    }

  private:
    NumberIndex index_;
    std::map<std::uint32_t, Positions> expected_;
    std::uint32_t added_ = 0;
};

// Numbers as a scan meets them: folders first, their files after, a few numbers met
// twice, and now and then a number from anywhere in 32 bits. The index grows its table
// and moves chains out of the map on the way; every answer stays in the order added.
TEST(NumberIndex, DenseAndScatteredNumbersAnswerInTheOrderAdded) {
    Checked checked;
    std::uint32_t scattered = 0x9E3779B9;
    for (std::uint32_t folder = 0; folder < 50; ++folder) checked.Append(64 + folder * 1001);
    for (std::uint32_t k = 0; k < 60000; ++k) {
        checked.Append(65 + k + k / 1000);
        if (k % 97 == 0) checked.Append(65 + k / 2);  // reached twice
        if (k % 1009 == 0) {
            scattered = scattered * 1664525u + 1013904223u;
            checked.Append(scattered);
            checked.Append(0xFFFFFFFF - k);
        }
        if (k == 30000) checked.ExpectAll();
    }
    checked.ExpectAll();
    EXPECT_TRUE(checked.index().Find(0xFFFFFFF0).empty());
    EXPECT_TRUE(checked.index().Find(63).empty());
}

// A table set aside at once (a kept scan knows its largest number) answers as one grown
// number by number, with numbers past it and in the map; a request for a table the
// numbers would leave mostly empty, or one after the first addition, sets nothing aside.
TEST(NumberIndex, ATableSetAsideAtOnceAnswersAsOneGrown) {
    Checked reserved;
    reserved.ReserveTable(40999, 40000);
    const std::size_t setAside = reserved.index().MemoryBytes();
    EXPECT_GE(setAside, std::size_t{65536} * 12);
    for (std::uint32_t k = 0; k < 40000; ++k) {
        reserved.Append(40999 - k);
        if (k % 1000 == 0) reserved.Append(0xF0000000u + k);  // far past the table
        if (k % 333 == 0) reserved.Append(7);
    }
    reserved.Append(70000);  // just past the table: grows it further
    reserved.ExpectAll();
    EXPECT_TRUE(reserved.index().Find(41000).empty());

    Checked sparse;
    sparse.ReserveTable(0xFFFFFFF0, 100);
    EXPECT_LT(sparse.index().MemoryBytes(), setAside / 100);
    sparse.Append(3);
    sparse.ReserveTable(50000, 50000);
    EXPECT_LT(sparse.index().MemoryBytes(), setAside / 100);
    for (std::uint32_t k = 0; k < 100; ++k) sparse.Append(0xFFFFFFF0 - k * 1000);
    sparse.ExpectAll();
}

// Positions that are not the order of adding (a table of folders keeps catalogue
// positions), first after some that were, then from the start.
TEST(NumberIndex, PositionsOutOfTheOrderOfAddingAreKept) {
    Checked late;
    for (std::uint32_t k = 0; k < 3000; ++k) late.Append(k % 700);
    late.Add(5, 123456);
    late.Add(0xFFFFFFFF, 7);
    for (std::uint32_t k = 0; k < 3000; ++k) late.Add(k % 500, 3 * k);
    late.ExpectAll();

    Checked folders;
    for (std::uint32_t k = 0; k < 5000; ++k) folders.Add(40 + (k * 7) % 900, 10 + 2 * k);
    folders.ExpectAll();
}

// A range is what was added under its number when it was taken, however the index
// changed after: more positions under that number, the table grown past it, its chain
// moved out of the map, positions out of order arriving.
TEST(NumberIndex, ARangeIsASnapshot) {
    NumberIndex index;
    index.Add(3000, 0);
    index.Add(3000, 1);
    index.Add(7, 2);
    const IndexRange sparse = index.Find(3000);  // far beyond a small table: in the map
    const IndexRange dense = index.Find(7);
    const IndexRange none = index.Find(9);
    for (std::uint32_t k = 3; k < 20000; ++k) index.Add(k % 4000, k);  // grows the table
    index.Add(3000, 99);
    index.Add(7, 5);

    EXPECT_EQ(sparse.ToVector(), (Positions{0, 1}));
    EXPECT_EQ(dense.ToVector(), (Positions{2}));
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(index.Find(7).back(), 5u);
    EXPECT_EQ(index.Find(3000).size(), 2u + 5u + 1u);

    index.Clear();
    EXPECT_TRUE(index.Find(7).empty());
    index.Add(7, 0);
    EXPECT_EQ(index.Find(7).ToVector(), (Positions{0}));
}

// A table made at once for a known count of numbers: numbers met before it (kept in the
// map) move into it, numbers past it still answer, and it takes no more than the count
// asks for where growing by doubling would have set aside the power of two above it.
TEST(NumberIndex, ATableMadeForACountAnswersAsOneGrownAndTakesLess) {
    Checked reserved;
    reserved.Append(70000);  // far beyond a small table: in the map
    reserved.Append(0xFFFFFFF0);
    reserved.index().ReserveNumbers(90000);
    for (std::uint32_t k = 0; k < 90000; ++k) reserved.Append(k);
    reserved.Append(70000);
    reserved.ExpectAll();
    Checked grown;
    for (std::uint32_t k = 0; k < 90000; ++k) grown.Append(k);
    EXPECT_LT(reserved.index().MemoryBytes() + 30000 * 12, grown.index().MemoryBytes());

    reserved.Append(90000);  // past the count: the table grows again
    reserved.Append(50);
    reserved.ExpectAll();
}

// A reopened scan's index is read where it lies: numbers without gaps are found at once,
// those with gaps, below the first and past the last by halving or not at all, and the
// first position added after it copies it into tables that keep answering the same.
TEST(NumberIndex, AKeptIndexAnswersAsTheOneItWasTakenFromAndGrowsFromIt) {
    Checked checked;
    for (std::uint32_t number = 10; number < 2000; ++number) checked.Append(number);
    checked.Append(15);
    checked.Append(0xFFFFFFF0);
    checked.Append(70000);
    checked.Append(15);
    KeptIndexParts parts;
    checked.ReadBack(parts);
    checked.ExpectAll();
    for (const std::uint32_t missing : {0u, 9u, 2000u, 69999u, 0xFFFFFFFFu})
        EXPECT_TRUE(checked.index().Find(missing).empty()) << missing;
    EXPECT_EQ(checked.index().Parts().positions, parts.positions);
    checked.Append(15);
    checked.Append(0xFFFFFFF0);
    checked.Append(3);
    checked.ExpectAll();
    EXPECT_TRUE(checked.index().Find(9).empty());
}

}  // namespace
}  // namespace tarvik

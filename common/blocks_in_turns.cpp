#include "common/blocks_in_turns.h"

#include <array>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace tarvik {

namespace {

// The second thread's turns: blocks 1, 3, 5... made into two buffers in turn, each made
// again only once the calling thread has taken what it held.
class SecondThreadTurns {
  public:
    SecondThreadTurns(std::size_t count, const BlockMaker& make) : count_(count), make_(make) {
        worker_ = std::thread([this] { Run(); });
    }
    ~SecondThreadTurns() {
        {
            const std::lock_guard lock(mutex_);
            abandoned_ = true;
        }
        changed_.notify_all();
        worker_.join();
    }
    SecondThreadTurns(const SecondThreadTurns&) = delete;
    SecondThreadTurns& operator=(const SecondThreadTurns&) = delete;

    // The turn'th odd block, once made; Taken(turn) gives its buffer back.
    const std::string& Wait(std::size_t turn) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return made_ > turn; });
        return buffers_[turn % 2];
    }
    void Taken(std::size_t turn) {
        {
            const std::lock_guard lock(mutex_);
            taken_ = turn + 1;
        }
        changed_.notify_all();
    }

  private:
    void Run() {
        for (std::size_t turn = 0; 2 * turn + 1 < count_; ++turn) {
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return abandoned_ || turn < taken_ + 2; });
                if (abandoned_) return;
            }
            std::string& block = buffers_[turn % 2];
            block.clear();
            make_(2 * turn + 1, block);
            {
                const std::lock_guard lock(mutex_);
                made_ = turn + 1;
            }
            changed_.notify_all();
        }
    }

    const std::size_t count_;
    const BlockMaker& make_;
    std::array<std::string, 2> buffers_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t made_ = 0;   // turns made
    std::size_t taken_ = 0;  // turns taken
    bool abandoned_ = false;
    std::thread worker_;
};

}  // namespace

bool MakeBlocksInTurns(std::size_t count, const BlockMaker& first, const BlockMaker& second,
                       const std::function<void(const std::string&)>& take,
                       const std::function<bool()>& stopped) {
    std::unique_ptr<SecondThreadTurns> others;
    if (count > 1 && std::thread::hardware_concurrency() > 1) {
        try {
            others = std::make_unique<SecondThreadTurns>(count, second);
        } catch (const std::system_error&) {  // no second thread to be had
        }
    }
    std::string block;
    for (std::size_t i = 0; i < count; ++i) {
        if (stopped()) return false;
        if (others && i % 2 == 1) {
            take(others->Wait(i / 2));
            others->Taken(i / 2);
            continue;
        }
        block.clear();
        first(i, block);
        take(block);
    }
    return true;
}

}  // namespace tarvik

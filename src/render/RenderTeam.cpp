#include "render/RenderTeam.h"

#include <chrono>
#include <system_error>

#include "render/SpinPause.h"

namespace orv {

namespace {

constexpr std::chrono::milliseconds kWaitSlice{5};
constexpr std::chrono::microseconds kSpin{50};
// The caller waits for members that are working: a wake-up from sleep came about 40 us after
// the last member finished, 0.2 ms a render of the fern (five such waits).
constexpr std::chrono::microseconds kCallerSpin{2000};

// Spins until `done` holds or `spin` has passed, calling `meanwhile` now and then; tells
// which.
template <typename Condition, typename Meanwhile>
bool spinUntil(Condition done, std::chrono::microseconds spin, Meanwhile meanwhile) {
    const auto until = std::chrono::steady_clock::now() + spin;
    for (;;) {
        for (int i = 0; i < 64; ++i) {
            if (done()) {
                return true;
            }
            spinPause();
        }
        if (std::chrono::steady_clock::now() >= until) {
            return done();
        }
        meanwhile();
    }
}

}  // namespace

RenderTeam::RenderTeam(int members) {
    for (int member = 1; member < members; ++member) {
        try {
            threads_.emplace_back([this, member] { serve(member); });
        } catch (const std::system_error&) {
            break;  // work with the threads we have
        }
    }
}

RenderTeam::~RenderTeam() {
    {
        std::lock_guard lock(mutex_);
        quitting_.store(true, std::memory_order_release);
    }
    started_.notify_all();
    for (std::thread& thread : threads_) {
        thread.join();
    }
}

void RenderTeam::run(const std::function<void(int)>& work,
                     const std::function<void()>& whileWaiting) {
    if (threads_.empty()) {
        work(0);
        return;
    }
    work_ = &work;
    running_.store(static_cast<int>(threads_.size()), std::memory_order_relaxed);
    {
        std::lock_guard lock(mutex_);
        round_.fetch_add(1, std::memory_order_release);
    }
    started_.notify_all();
    work(0);
    const auto allDone = [this] { return running_.load(std::memory_order_acquire) == 0; };
    if (spinUntil(allDone, kCallerSpin, whileWaiting)) {
        return;
    }
    std::unique_lock lock(mutex_);
    while (!finished_.wait_for(lock, kWaitSlice, allDone)) {
        lock.unlock();
        whileWaiting();
        lock.lock();
    }
}

void RenderTeam::serve(int member) {
    std::uint64_t seen = 0;
    for (;;) {
        const auto called = [&] {
            return quitting_.load(std::memory_order_acquire) ||
                   round_.load(std::memory_order_acquire) != seen;
        };
        if (!spinUntil(called, kSpin, [] {})) {
            std::unique_lock lock(mutex_);
            started_.wait(lock, called);
        }
        if (quitting_.load(std::memory_order_acquire)) {
            return;
        }
        seen = round_.load(std::memory_order_acquire);
        (*work_)(member);
        if (running_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            std::lock_guard lock(mutex_);
            finished_.notify_one();
        }
    }
}

}  // namespace orv

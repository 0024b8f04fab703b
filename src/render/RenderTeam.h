#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace orv {

// A few threads that run one piece of work at a time together with the calling thread. The
// caller takes part as member 0; while it waits for the others it keeps calling `whileWaiting`
// at short intervals, so that it can go on answering its progress (which only it may touch).
// Rounds follow each other quickly (two per iteration), so each side spins for a moment
// before it goes to sleep.
class RenderTeam {
public:
    // Starts up to members - 1 threads; fewer when the system refuses more.
    explicit RenderTeam(int members);
    ~RenderTeam();
    RenderTeam(const RenderTeam&) = delete;
    RenderTeam& operator=(const RenderTeam&) = delete;

    int members() const { return static_cast<int>(threads_.size()) + 1; }

    // Runs work(member) on every member and returns when all have finished. `work` must not
    // throw.
    void run(const std::function<void(int)>& work, const std::function<void()>& whileWaiting);

private:
    void serve(int member);

    std::mutex mutex_;
    std::condition_variable started_;
    std::condition_variable finished_;
    const std::function<void(int)>* work_ = nullptr;  // published by the release of round_
    std::atomic<std::uint64_t> round_{0};
    std::atomic<int> running_{0};
    std::atomic<bool> quitting_{false};
    std::vector<std::thread> threads_;
};

}  // namespace orv

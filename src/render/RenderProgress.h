#pragma once

namespace orv {

// What a render reports while it runs. The renderer opens it once its buffers exist, sets the
// position 0..100 after each iteration and closes it before it returns, also when it stops
// early. stopRequested() is polled at least every few tens of milliseconds of work: returning
// true abandons the render, which then produces no picture. Every call comes from the thread
// that called the renderer, so an implementation may pump its event loop there.
class RenderProgress {
public:
    virtual ~RenderProgress() = default;

    virtual void open() {}
    virtual void setPosition(int /*percent*/) {}
    virtual void close() {}
    virtual bool stopRequested() { return false; }
};

// Closes the progress on every way out of a scope.
class ProgressSession {
public:
    explicit ProgressSession(RenderProgress& progress) : progress_(progress) { progress_.open(); }
    ~ProgressSession() { progress_.close(); }
    ProgressSession(const ProgressSession&) = delete;
    ProgressSession& operator=(const ProgressSession&) = delete;

private:
    RenderProgress& progress_;
};

// The position shown after iteration t (counted from 0) of T: 100 * t / T, never 100.
constexpr int progressPosition(long long t, long long T) {
    return static_cast<int>(100 * t / T);
}

}  // namespace orv

// The one thread that touches the module and the toolkit. Requests arrive on
// the HTTP server's threads; each hands its work here and waits, so the tool's
// state is never used by two threads at once and requests take effect in the
// order they arrive.
#ifndef ZSRV_MODULE_THREAD_H
#define ZSRV_MODULE_THREAD_H

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <type_traits>

namespace zsrv {

class ModuleThread {
public:
    ModuleThread();
    // Runs the work already queued, then ends the thread.
    ~ModuleThread();
    ModuleThread(const ModuleThread &) = delete;
    ModuleThread &operator=(const ModuleThread &) = delete;

    // Queues work and returns at once; the future holds its result (or the
    // exception it threw).
    template <typename Work>
    auto Post(Work work) -> std::future<std::invoke_result_t<Work>> {
        auto task = std::make_shared<std::packaged_task<std::invoke_result_t<Work>()>>(std::move(work));
        auto future = task->get_future();
        Push([task] { (*task)(); });
        return future;
    }
    // Queues work and waits for its result.
    template <typename Work>
    auto Run(Work work) -> std::invoke_result_t<Work> {
        return Post(std::move(work)).get();
    }
    // Whether the caller is the module thread.
    bool OnThread() const { return std::this_thread::get_id() == thread_.get_id(); }

private:
    void Push(std::function<void()> work);
    void Loop();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace zsrv

#endif

#pragma once
// Picture work done on threads of its own, each result handed back on the main loop: reading and
// scaling a thumbnail file never holds the window, however slow the disk or large the file.
#include <glibmm/dispatcher.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kivo {

class TPictureThreads {
  public:
    // What a piece of work hands back: the step to run on the main loop.
    using Finish = std::function<void()>;
    using Work = std::function<Finish()>;

    // Up to `threads` threads, started when the first work comes. Must be made on the main loop's
    // thread.
    explicit TPictureThreads(unsigned threads);
    // Waits for the work running now; work not started yet is dropped and no finishing step runs.
    ~TPictureThreads();
    TPictureThreads(const TPictureThreads&) = delete;
    TPictureThreads& operator=(const TPictureThreads&) = delete;

    // `work` runs on one of the threads, in the order posted when threads are free; the step it
    // returns (if any) runs later on the main loop. Work must not throw.
    void Post(Work work);
    // Work posted whose finishing step has not run yet.
    int Pending() const { return pending_; }

  private:
    void Serve();
    void FinishDone();

    const unsigned most_threads_;
    std::vector<std::thread> threads_;
    Glib::Dispatcher finished_;
    int pending_ = 0;  // main loop only

    // Shared with the threads, under `lock_`.
    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<Work> waiting_;
    std::vector<Finish> done_;
    unsigned idle_ = 0;
    bool stopping_ = false;
};

}  // namespace kivo

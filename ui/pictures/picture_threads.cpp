#include "ui/pictures/picture_threads.h"

#include <algorithm>

namespace kivo {

TPictureThreads::TPictureThreads(unsigned threads) : most_threads_(std::max(threads, 1u)) {
    finished_.connect(sigc::mem_fun(*this, &TPictureThreads::FinishDone));
}

TPictureThreads::~TPictureThreads() {
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
        waiting_.clear();
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
}

void TPictureThreads::Post(Work work) {
    ++pending_;
    {
        std::lock_guard guard(lock_);
        waiting_.push_back(std::move(work));
        // A thread more only when none is free to take it.
        if (idle_ == 0 && threads_.size() < most_threads_)
            threads_.emplace_back(&TPictureThreads::Serve, this);
    }
    wake_.notify_one();
}

void TPictureThreads::Serve() {
    std::unique_lock guard(lock_);
    for (;;) {
        ++idle_;
        wake_.wait(guard, [this] { return stopping_ || !waiting_.empty(); });
        --idle_;
        if (stopping_)
            return;
        Work work = std::move(waiting_.front());
        waiting_.pop_front();
        guard.unlock();
        Finish finish = work();
        guard.lock();
        done_.push_back(std::move(finish));
        // Emitted under the lock, so the destructor's join never races a late emit.
        finished_.emit();
    }
}

void TPictureThreads::FinishDone() {
    std::vector<Finish> done;
    {
        std::lock_guard guard(lock_);
        done.swap(done_);
    }
    for (Finish& finish : done) {
        --pending_;
        if (finish)
            finish();
    }
}

}  // namespace kivo

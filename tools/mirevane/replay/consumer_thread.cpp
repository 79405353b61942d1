#include "replay/consumer_thread.h"

#include <algorithm>
#include <future>
#include <utility>

namespace mirevane::tool {

ConsumerThread::ConsumerThread(std::vector<FrameConsumer*> consumers)
    : consumers_(std::move(consumers)) {}

ConsumerThread::~ConsumerThread() {
    Stop();
}

void ConsumerThread::Begin(const RunHeader& run) {
    Stop();
    for (FrameConsumer* consumer : consumers_) {
        consumer->Begin(run); // here: the gauge set is valid during Begin only
    }
    panelWidth_ = run.panelColumns.size();
    sampleWidth_ = run.observed ? run.gauges.size() : 0;
    filling_ = NewBatch();
    pending_.reset();
    spare_.reset();
    finishing_ = false;
    working_ = false;
    failure_ = nullptr;
    thread_ = std::thread([this] { Work(); });
}

void ConsumerThread::Take(const FrameRecord& frame) {
    Batch& b = *filling_;
    Batch::Stored& stored = b.frames[b.count];
    stored.record = frame;
    stored.clipboardStart = b.clipboards.size();
    stored.clipboardSize = frame.clipboard.size();
    b.clipboards.append(frame.clipboard);
    if (frame.keys != nullptr) {
        stored.keys.assign(frame.keys->begin(), frame.keys->end());
    } else {
        stored.keys.clear();
    }
    std::copy_n(frame.panel, panelWidth_, b.panel.begin() + b.count * panelWidth_);
    if (frame.samples != nullptr) {
        std::copy_n(frame.samples, sampleWidth_, b.samples.begin() + b.count * sampleWidth_);
    }
    if (++b.count == kBatchFrames) {
        HandOver();
    }
}

void ConsumerThread::End() {
    if (filling_ != nullptr && filling_->count > 0) {
        HandOver();
    }
    {
        std::unique_lock<std::mutex> lock(mutex_);
        finishing_ = true;
        changed_.notify_all();
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    RethrowFailure();
    std::vector<std::future<void>> ends;
    for (std::size_t i = 1; i < consumers_.size(); ++i) {
        ends.push_back(std::async(std::launch::async, [c = consumers_[i]] { c->End(); }));
    }
    if (!consumers_.empty()) {
        consumers_.front()->End();
    }
    for (std::future<void>& end : ends) {
        end.get(); // after every End has finished, the first failure is thrown
    }
}

std::unique_ptr<ConsumerThread::Batch> ConsumerThread::NewBatch() const {
    auto batch = std::make_unique<Batch>();
    batch->frames.resize(kBatchFrames);
    batch->panel.resize(kBatchFrames * panelWidth_);
    batch->samples.resize(kBatchFrames * sampleWidth_);
    return batch;
}

// Waits until the thread has taken the batch before, then gives it this one and goes on
// filling the one it gave back.
void ConsumerThread::HandOver() {
    std::unique_ptr<Batch> spare;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return pending_ == nullptr || failure_ != nullptr; });
        if (failure_ == nullptr) {
            pending_ = std::move(filling_);
            spare = std::move(spare_);
            changed_.notify_all();
        }
    }
    RethrowFailure();
    if (spare == nullptr) {
        spare = NewBatch();
    }
    spare->count = 0;
    spare->clipboards.clear();
    filling_ = std::move(spare);
}

void ConsumerThread::Work() {
    std::unique_ptr<Batch> batch;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return pending_ != nullptr || finishing_; });
            if (pending_ == nullptr) {
                return; // finishing, and every batch taken
            }
            batch = std::move(pending_);
            changed_.notify_all();
        }
        try {
            for (std::size_t i = 0; i < batch->count; ++i) {
                const Batch::Stored& stored = batch->frames[i];
                FrameRecord record = stored.record;
                record.clipboard = std::string_view(batch->clipboards)
                                       .substr(stored.clipboardStart, stored.clipboardSize);
                record.keys = &stored.keys;
                record.panel = batch->panel.data() + i * panelWidth_;
                record.samples =
                    sampleWidth_ > 0 ? batch->samples.data() + i * sampleWidth_ : nullptr;
                for (FrameConsumer* consumer : consumers_) {
                    consumer->Take(record);
                }
            }
        } catch (...) {
            std::unique_lock<std::mutex> lock(mutex_);
            failure_ = std::current_exception();
            changed_.notify_all();
            return;
        }
        std::unique_lock<std::mutex> lock(mutex_);
        spare_ = std::move(batch);
    }
}

void ConsumerThread::Stop() noexcept {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        finishing_ = true;
        pending_.reset(); // a run that failed: its frames are not wanted
        changed_.notify_all();
    }
    if (thread_.joinable()) {
        thread_.join();
    }
}

void ConsumerThread::RethrowFailure() {
    std::exception_ptr failure;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        failure = failure_;
    }
    if (failure != nullptr) {
        std::rethrow_exception(failure);
    }
}

} // namespace mirevane::tool

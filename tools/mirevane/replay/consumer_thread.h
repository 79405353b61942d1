// Frames handed to consumers on a thread of their own. The replay goes on making frames while
// the consumers take the ones before, so a run that feeds slow consumers (the plot, the dial
// page) takes about as long as the longer of the two, not their sum. The frames are copied
// in batches. The consumers' Begin runs on the caller's thread, in order; their End side by
// side, each on a thread of its own, so no consumer may read another's output in End.
#pragma once

#include "common/frame_consumer.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace mirevane::tool {

class ConsumerThread : public FrameConsumer {
public:
    explicit ConsumerThread(std::vector<FrameConsumer*> consumers);
    ~ConsumerThread() override;
    ConsumerThread(const ConsumerThread&) = delete;
    ConsumerThread& operator=(const ConsumerThread&) = delete;

    void Begin(const RunHeader& run) override;
    void Take(const FrameRecord& frame) override;
    // Waits for the consumers to take every frame, then ends them. What a consumer threw is
    // thrown here (or, from a frame, by a later Take).
    void End() override;

private:
    static constexpr std::size_t kBatchFrames = 256;

    // Frames copied out of their records, which are valid only during Take.
    struct Batch {
        struct Stored {
            // As taken; what it points to is the caller's and gone after Take: the thread
            // points it at the batch's own copies below before handing it on.
            FrameRecord record;
            std::size_t clipboardStart = 0;
            std::size_t clipboardSize = 0;
            std::vector<int32_t> keys;
        };
        std::size_t count = 0;
        std::vector<Stored> frames;
        std::vector<int32_t> panel;
        std::vector<GaugeSample> samples;
        std::string clipboards;
    };

    std::unique_ptr<Batch> NewBatch() const;
    void HandOver();
    void Work();
    void Stop() noexcept;
    void RethrowFailure();

    std::vector<FrameConsumer*> consumers_;
    std::size_t panelWidth_ = 0;
    std::size_t sampleWidth_ = 0;
    std::unique_ptr<Batch> filling_;
    std::unique_ptr<Batch> pending_; // handed over, not yet taken by the thread
    std::unique_ptr<Batch> spare_;   // taken and given back, for the next filling
    std::mutex mutex_;
    std::condition_variable changed_;
    bool finishing_ = false;
    bool working_ = false;
    std::exception_ptr failure_;
    std::thread thread_;
};

} // namespace mirevane::tool

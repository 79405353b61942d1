// Consumers fed on a thread of their own see every frame exactly as a consumer fed directly
// does, whatever the number of frames against the batch size; a consumer that throws stops the
// run with its own exception, and a run abandoned half-way leaves no thread behind.
#include "replay/consumer_thread.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace mirevane::tool {
namespace {

// Writes down everything it is given, in order.
class Log : public FrameConsumer {
public:
    void Begin(const RunHeader& run) override {
        text += "begin " + std::to_string(run.gauges.size()) + "\n";
    }
    void Take(const FrameRecord& f) override {
        if (f.index == throwAt) {
            throw std::runtime_error("consumer failed at " + std::to_string(f.index));
        }
        text += std::to_string(f.index) + " t" + std::to_string(f.time) + " p" +
                std::to_string(f.panel[0]) + "," + std::to_string(f.panel[1]) + " v" +
                std::to_string(f.samples[0].value) + " e" + std::to_string(f.samples[1].entry) +
                " c[" + std::string(f.clipboard) + "] i" + (f.initialize ? "1" : "0") + " k";
        for (int32_t key : *f.keys) {
            text += std::to_string(key) + ";";
        }
        text += "\n";
    }
    void End() override { text += "end\n"; }

    std::string text;
    std::size_t throwAt = static_cast<std::size_t>(-1);
};

RunHeader Header() {
    RunHeader run;
    run.gauges.resize(2);
    run.panelColumns = {10, 20};
    run.observed = true;
    return run;
}

// Frames whose every field varies: keys and copies on some frames only, so a batch reused
// must not keep an earlier frame's.
void Feed(FrameConsumer& consumer, std::size_t frames) {
    consumer.Begin(Header());
    for (std::size_t i = 0; i < frames; ++i) {
        std::vector<int32_t> keys;
        for (std::size_t k = 0; k < i % 4; ++k) {
            keys.push_back(static_cast<int32_t>(i + k));
        }
        const std::string copied = i % 7 == 3 ? "copy " + std::to_string(i) : "";
        const int32_t panel[2] = {static_cast<int32_t>(i * 3), -static_cast<int32_t>(i)};
        GaugeSample samples[2];
        samples[0].value = 0.5 * static_cast<double>(i);
        samples[1].entry = static_cast<int32_t>(i % 5);
        FrameRecord f;
        f.index = i;
        f.time = static_cast<int32_t>(16 * i);
        f.panel = panel;
        f.samples = samples;
        f.keys = &keys;
        f.clipboard = copied;
        f.initialize = i % 100 == 0;
        consumer.Take(f);
    }
    consumer.End();
}

TEST(ConsumerThread, EveryFrameArrivesAsTheDirectConsumerSeesIt) {
    for (std::size_t frames : {0u, 1u, 255u, 256u, 257u, 1000u}) {
        Log direct;
        Feed(direct, frames);
        Log first;
        Log second;
        {
            ConsumerThread thread({&first, &second});
            Feed(thread, frames);
            // Ended when End returns, not when the thread object goes.
            EXPECT_EQ(first.text, direct.text) << frames << " frames";
        }
        EXPECT_EQ(second.text, direct.text) << frames << " frames";
    }
}

TEST(ConsumerThread, AConsumersExceptionEndsTheRun) {
    Log failing;
    failing.throwAt = 300;
    ConsumerThread thread({&failing});
    try {
        Feed(thread, 2000);
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "consumer failed at 300");
    }
    EXPECT_EQ(failing.text.find("end"), std::string::npos);
}

TEST(ConsumerThread, ARunAbandonedHalfWayLeavesNoThread) {
    Log log;
    {
        ConsumerThread thread({&log});
        thread.Begin(Header());
        GaugeSample samples[2];
        const int32_t panel[2] = {0, 0};
        const std::vector<int32_t> keys;
        for (std::size_t i = 0; i < 600; ++i) {
            FrameRecord f;
            f.index = i;
            f.panel = panel;
            f.samples = samples;
            f.keys = &keys;
            thread.Take(f);
        }
    } // the replay threw here: the destructor joins
    EXPECT_EQ(log.text.find("end"), std::string::npos);
}

} // namespace
} // namespace mirevane::tool

// Frames allocate nothing. The global allocation functions of this test program are replaced
// (support/replaced_allocation.cpp) and count here, while armed; a frame run with the counter
// armed must leave it at zero.
#include "gauges/c_mirevane.h"
#include "support/allocation_hooks.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <limits>
#include <new>
#include <string>

namespace {

std::atomic<bool> armed{false};
std::atomic<long> allocations{0};
std::atomic<long> deallocations{0};

} // namespace

void mirevane::test::BeforeAllocation() {
    if (armed.load(std::memory_order_relaxed)) {
        allocations.fetch_add(1, std::memory_order_relaxed);
    }
}

void mirevane::test::BeforeRelease() noexcept {
    if (armed.load(std::memory_order_relaxed)) {
        deallocations.fetch_add(1, std::memory_order_relaxed);
    }
}

namespace mirevane {
namespace {

// Counts what happens between construction and Stop; not nestable.
class AllocationCounter {
public:
    AllocationCounter() {
        allocations = 0;
        deallocations = 0;
        armed = true;
    }
    ~AllocationCounter() { armed = false; }
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;

    void Stop() { armed = false; }
    long allocated() const { return allocations; }
    long freed() const { return deallocations; }
};

// Keeps the compiler from dropping a block it could prove unused.
void* volatile sink = nullptr;

TEST(AllocationCounting, SeesEveryFormOfAllocationAndFreesCorrectly) {
    AllocationCounter counter;
    {
        // Allocated inside the standard library: the replacement reaches it too.
        const std::string text(100, 'x');
        sink = const_cast<char*>(text.data());
    }
    void* plain = ::operator new(40);
    void* array = ::operator new[](40);
    void* nothrow = ::operator new(40, std::nothrow);
    void* nothrowArray = ::operator new[](40, std::nothrow);
    void* empty = ::operator new(0);
    for (void* block : {plain, array, nothrow, nothrowArray, empty}) {
        ASSERT_NE(block, nullptr);
        sink = block;
    }
    EXPECT_NE(empty, plain) << "every allocation is a distinct block";
    ::operator delete(plain);
    ::operator delete[](array);
    ::operator delete(nothrow, std::nothrow);
    ::operator delete[](nothrowArray, 40);
    ::operator delete (empty, std::size_t{0});
    counter.Stop();
    EXPECT_EQ(counter.allocated(), 6);
    EXPECT_EQ(counter.freed(), 6);
}

#if defined(__cpp_aligned_new)
TEST(AllocationCounting, OverAlignedBlocksAreAlignedAndWritable) {
    struct alignas(128) Wide {
        unsigned char bytes[300];
    };
    AllocationCounter counter;
    for (int round = 0; round < 8; ++round) {
        Wide* one = new Wide;
        Wide* many = new Wide[3];
        void* nothrow = ::operator new (50, std::align_val_t{256}, std::nothrow);
        ASSERT_NE(nothrow, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(one) % 128, 0u);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(many) % 128, 0u);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(nothrow) % 256, 0u);
        one->bytes[299] = 1;
        many[2].bytes[299] = 2;
        static_cast<unsigned char*>(nothrow)[49] = 3;
        sink = one;
        sink = many;
        delete one;
        delete[] many;
        ::operator delete (nothrow, std::align_val_t{256}, std::nothrow);
    }
    counter.Stop();
    EXPECT_EQ(counter.allocated(), 24);
    EXPECT_EQ(counter.freed(), 24);
}
#endif

// A gauge set as Load leaves it, with plain and elliptic gauges, the developer switch on and
// the default key bindings: S 0, A1 1, A2 2, B1 3, B2 4, C1 5, C2 6, D 7, L 15.
class Frames : public testing::Test {
protected:
    Frames() : previous_(std::filesystem::current_path()) {
        // No fallback ./Ats.ini: the working directory is an empty folder of its own.
        std::filesystem::current_path(work_.path());
        library_.Write("Mirevane.ini", "[SubjectKey]\nSubject=kmph\n"
                                       "[PanelIndex]\nNeedle=0\n"
                                       "[Vibration]\nPeriod=1\nAmplitude=2\nThreshold=80\n"
                                       "[DeveloperMode]\nEnabled=1\n"
                                       "[StepValue]\nRotate=3\n");
        library_.Write("Mirevane.csv", "0,0\n20,40\n60,150\n120,270\n");
        set_.Load((library_.path() / "Mirevane.dll").string());
        table_ = library_.Write("pressure.csv", "0,0\n10,270\n");
    }
    ~Frames() override { std::filesystem::current_path(previous_); }

    void AddPlain(const std::string& subject, int32_t needle) {
        SettingsModel settings;
        settings.Subject = subject;
        settings.Needle = needle;
        settings.Enabled = 1;
        set_.AddGauge(settings, table_);
    }

    void AddElliptic(const std::string& subject, int32_t division,
                     std::initializer_list<int32_t> entries, double naturalFrequency,
                     double dampingRatio) {
        SettingsModel settings;
        settings.Subject = subject;
        settings.Division = division;
        int32_t k = 0;
        for (int32_t entry : entries) {
            settings.Ellipse[k++] = entry;
        }
        settings.NaturalFreq = naturalFrequency;
        settings.DampingRatio = dampingRatio;
        settings.Flattening = 0.3;
        settings.RotateAngle = 15;
        settings.Enabled = 1;
        set_.AddGauge(settings, table_);
    }

    test::TempDir work_;
    test::TempDir library_;
    std::filesystem::path previous_;
    std::string table_;
    CMirevane set_;
};

// Frames with every input moving, every adjust key but the copy key (copying formats text by
// design) and an unbound one, the mode switched round and round, and Initialize now and then;
// the host clock wraps on the way. Returns the adjust modes gauge 0 went through.
std::array<bool, 4> RunFrames(CMirevane& set, int frames, int32_t* panel, const int32_t* sound) {
    AtsVehicleState state{};
    state.time = std::numeric_limits<int32_t>::max() - 30000;
    std::array<bool, 4> modesSeen{};
    const int32_t adjustKeys[] = {1, 2, 3, 4, 5, 6, 15, 11};
    for (int frame = 0; frame < frames; ++frame) {
        state.speed = static_cast<float>(60 + 50 * std::sin(frame * 0.01));
        state.location += state.speed / 3.6 * 0.02;
        // Now and then a frame without time. The clock wraps as the host's does, in unsigned
        // arithmetic: a signed overflow would be undefined.
        state.time =
            static_cast<int32_t>(static_cast<uint32_t>(state.time) + (frame % 97 == 0 ? 0u : 20u));
        state.bc = static_cast<float>(frame % 11);
        state.mr = static_cast<float>(frame % 13);
        state.er = static_cast<float>(frame % 5);
        state.bp = static_cast<float>(frame % 7) - 2;
        state.sap = static_cast<float>(frame % 9);
        state.current = static_cast<float>(frame % 400) - 200;
        if (frame % 100 == 50) {
            set.KeyDown(7); // None -> Angle -> Value -> Rotate -> None
        }
        if (frame % 10 == 5) {
            set.KeyDown(adjustKeys[(frame / 10) % 8]);
        }
        if (frame % 333 == 0) {
            set.Initialize();
        }
        set.Elapse(state, panel, sound);
        modesSeen[static_cast<int>(set.scales()[0].mode())] = true;
    }
    return modesSeen;
}

constexpr std::array<bool, 4> kEveryMode{true, true, true, true};

TEST_F(Frames, AllocateNothingInAnyModeAcrossKeysAndInitialize) {
    AddPlain("panel0", 1); // reads what gauge 0 wrote this frame
    AddPlain("bc", 2);
    AddPlain("sound5", 3);
    AddElliptic("mr", 4, {40, 41, 42, 43}, 4, 0.5);
    AddElliptic("bp", 3, {44, 300, -1}, 0, 0);           // undamped, two entries out of range
    AddElliptic("am", 2, {46, 47}, 2.5, 1);              // critically damped
    AddElliptic("amabs", 5, {50, 51, 52, 53, 54}, 8, 3); // overdamped
    ASSERT_EQ(set_.gaugeCount(), 8);
    ASSERT_TRUE(set_.scales()[0].developerEnabled());

    std::array<int32_t, 256> panel{};
    std::array<int32_t, 256> sound{};
    sound[5] = 42;
    AllocationCounter counter;
    const std::array<bool, 4> modesSeen = RunFrames(set_, 4000, panel.data(), sound.data());
    counter.Stop();

    EXPECT_EQ(counter.allocated(), 0);
    EXPECT_EQ(counter.freed(), 0);
    EXPECT_EQ(modesSeen, kEveryMode);
    EXPECT_NE(panel[0], 0) << "the frames ran";
}

// The benchmark's cab: 8 plain needles with vibration and 9 oval gauges with damping and 8
// divisions, loaded from its files, developer mode on.
TEST(FramesOfTheBenchmarkCab, AllocateNothingOver10000Frames) {
    const std::filesystem::path cab =
        std::filesystem::path(MIREVANE_TEST_DATA) / "../../bench/config";
    CMirevane set;
    set.Load((cab / "Mirevane.dll").string());
    ASSERT_EQ(set.gaugeCount(), 17);
    ASSERT_EQ(std::count(set.isElliptic().begin(), set.isElliptic().end(), true), 9);
    ASSERT_TRUE(set.scales()[16].developerEnabled());

    std::array<int32_t, 256> panel{};
    std::array<int32_t, 256> sound{};
    AllocationCounter counter;
    const std::array<bool, 4> modesSeen = RunFrames(set, 10000, panel.data(), sound.data());
    counter.Stop();

    EXPECT_EQ(counter.allocated(), 0);
    EXPECT_EQ(counter.freed(), 0);
    EXPECT_EQ(modesSeen, kEveryMode);
    EXPECT_NE(panel[0], 0) << "the frames ran";
}

} // namespace
} // namespace mirevane

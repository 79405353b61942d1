// Load when memory runs out. The N-th allocation during Load throws std::bad_alloc, for every
// N from the first allocation until a Load completes without reaching its N-th: each time,
// whether Load throws or returns, the six per-gauge sequences have equal lengths (a gauge is
// in all of them or in none), and frames and key presses run on whatever was built. Here Load
// is called directly and the exception reaches the test; in the DLL the Load export catches
// it, so that it never reaches the host.
//
// A program of its own: it replaces the global allocation functions
// (support/replaced_allocation.cpp), which is a decision for the whole program.
#include "gauges/c_mirevane.h"
#include "support/allocation_hooks.h"
#include "support/host_stand_in.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>

namespace {

// Allocations still allowed before one fails; negative: none fails.
std::atomic<long> allowance{-1};
std::atomic<bool> failed{false};

} // namespace

void mirevane::test::BeforeAllocation() {
    if (allowance.load() >= 0 && allowance.fetch_sub(1) == 0) {
        failed = true;
        throw std::bad_alloc();
    }
}

void mirevane::test::BeforeRelease() noexcept {}

namespace mirevane {
namespace {

// Lets the next `count` allocations through and fails the one after; until Disarm.
void FailAfter(long count) {
    failed = false;
    allowance = count;
}

// Whether the failure happened.
bool Disarm() {
    allowance = -1;
    return failed;
}

TEST(FailingAllocator, FailsExactlyTheAllocationAskedFor) {
    FailAfter(2);
    void* first = ::operator new(8);
    void* second = ::operator new[](8);
    EXPECT_THROW(static_cast<void>(::operator new(8)), std::bad_alloc);
    EXPECT_TRUE(Disarm());
    void* later = ::operator new(8);
    ::operator delete(first);
    ::operator delete[](second);
    ::operator delete(later);
}

bool SequencesAgree(const CMirevane& set) {
    const auto count = static_cast<std::size_t>(set.gaugeCount());
    return set.subjects().size() == count && set.vibrations().size() == count &&
           set.scales().size() == count && set.ellipses().size() == count &&
           set.isElliptic().size() == count && set.needlePanelIndex().size() == count;
}

// Two gauges, a plain one and an elliptic one with damping, with developer mode on so that
// key presses act, and a further gauge file named but missing. Small, because each failing
// run repeats the Load up to its failure.
void WriteCab(const test::TempDir& library) {
    library.Write("Mirevane.ini", "[SubjectKey]\nSubject=kmph\n[PanelIndex]\nNeedle=10\n"
                                  "[Vibration]\nPeriod=1\nAmplitude=2\n"
                                  "[DeveloperMode]\nEnabled=1\n"
                                  "[FileName]\nGauge0=missing\nGauge1=oval\n");
    library.Write("Mirevane.csv", "0,0\n20,40\n60,150\n120,270\n");
    library.Write("oval.ini", "[SubjectKey]\nSubject=mr\n[PanelIndex]\nEllipse0=20\nEllipse1=21\n"
                              "Ellipse2=22\nEllipse3=23\n[Ellipse]\nDivision=4\nFlattening=0.4\n"
                              "[Damping]\nNaturalFreq=8\nDampingRatio=0.6\n");
    library.Write("oval.csv", "0,0\n5,90\n10,270\n");
}

TEST(LoadOutOfMemory, EveryFailingAllocationLeavesWholeGaugesThatRun) {
    const std::filesystem::path previous = std::filesystem::current_path();
    test::TempDir work; // no fallback ./Ats.ini
    std::filesystem::current_path(work.path());
    test::TempDir library;
    WriteCab(library);
    const std::string libraryPath = (library.path() / "Mirevane.dll").string();

    long allowed = 0;
    int thrown = 0;
    for (;; ++allowed) {
        CMirevane set;
        bool threw = false;
        FailAfter(allowed);
        try {
            set.Load(libraryPath);
        } catch (const std::bad_alloc&) {
            threw = true;
        }
        const bool failedHere = Disarm();
        thrown += threw ? 1 : 0;
        ASSERT_FALSE(threw && !failedHere) << "only the injected failure is thrown";
        ASSERT_TRUE(SequencesAgree(set)) << "allocation " << allowed + 1 << " failed";

        // Whatever was built runs: frames, every key, Initialize.
        test::FencedHostArrays arrays(static_cast<uint64_t>(allowed));
        test::VehicleStates states(static_cast<uint64_t>(allowed));
        for (int32_t key = -1; key <= 16; ++key) {
            set.KeyDown(key);
            set.Elapse(states.Next(), arrays.panel(), arrays.sound());
        }
        set.Initialize();
        set.Elapse(states.Next(), arrays.panel(), arrays.sound());
        ASSERT_TRUE(arrays.FencesIntact());
        ASSERT_TRUE(arrays.SoundIntact());

        if (!failedHere) {
            // This Load needed no more than `allowed` allocations: it completed.
            EXPECT_EQ(set.gaugeCount(), 2);
            break;
        }
    }
    std::filesystem::current_path(previous);
    // A Load of two gauges allocates hundreds of times; nearly every failure reaches the
    // caller (a few are absorbed where the library reports failure instead, e.g. a stream
    // that cannot open), and every one left the sequences in step.
    EXPECT_GT(allowed, 100);
    EXPECT_GT(thrown, allowed / 2);
    std::printf("Load completed after %ld failing runs, %d of them threw\n", allowed, thrown);
}

} // namespace
} // namespace mirevane

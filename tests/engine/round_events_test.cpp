// The write test loop on a drive held in memory, telling its rounds to a
// recording sink: no lab bench, no result log, no viewer, no shared folder.
#include "engine/round_events.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "engine/normal_loop.h"
#include "engine/test_context.h"
#include "tests/support/scratch.h"
#include "text/operator_output.h"

namespace {

// Transfers complete at once, in the order they were started.
class RamDrive final : public platform::Drive {
public:
    explicit RamDrive(std::size_t bytes) : bytes_(bytes, 0) {}
    bool SizeBytes(std::int64_t* size) override {
        *size = static_cast<std::int64_t>(bytes_.size());
        return true;
    }
    bool Layout(std::vector<std::uint8_t>* types) override { return types->empty(); }
    platform::PortSetup AttachPort() override { return platform::PortSetup::Ready; }
    bool RegisterTransferMemory(void*, std::size_t) override { return false; }
    void UnregisterTransferMemory() override {}
    platform::IoStartResult StartTransfer(platform::OverlappedSlot* slot, std::int64_t offset,
                                          void* buffer, std::uint32_t length,
                                          bool isRead) override {
        std::uint8_t* at = bytes_.data() + offset;
        if (isRead)
            std::memcpy(buffer, at, length);
        else
            std::memcpy(at, buffer, length);
        done_.push_back(slot);
        return {platform::IoStart::Pending, 0};
    }
    bool WaitCompletion(std::uint32_t, platform::OverlappedSlot** slot) override {
        *slot = done_.empty() ? nullptr : done_.front();
        if (!done_.empty()) done_.pop_front();
        return *slot != nullptr;
    }
    bool CancelTransfer(platform::OverlappedSlot*, std::uint32_t) override { return true; }

    std::vector<std::uint8_t> bytes_;

private:
    std::deque<platform::OverlappedSlot*> done_;
};

// Notes every event; each closed round wears the drive by one erase count.
class RecordingEvents final : public RoundEvents {
public:
    explicit RecordingEvents(CSSDTest& test) : test_(test) {}
    void RoundStarted() override { events.push_back("start"); }
    bool BatchDone(double, double, bool lineOnChange) override {
        events.push_back(lineOnChange ? "batch" : "last batch");
        return false;
    }
    void RoundClosed(StopCode stop, double, double) override {
        events.push_back(stop == kEndOfDrive ? "round" : "cut");
        ++test_.currentStatus->AverageEraseCount;
        RoundStarted();
    }
    std::vector<std::string> events;

private:
    CSSDTest& test_;
};

}  // namespace

TEST(RoundEvents, TheWriteLoopTellsEachRoundAndLeavesTheLastPatternOnTheDrive) {
    const test_support::ScratchFolder scratch;  // the dump files
    CSSDTest test;
    test.filesFolder = scratch.wide();
    test.aecTarget = 2;
    test.patternGenerator.seed(5);
    // Three blocks: a round writes two (the block that would reach the
    // drive's end is not written) in one batch.
    auto drive = std::make_unique<RamDrive>(std::size_t{3} * kBlockBytes);
    RamDrive& ram = *drive;
    test.drive = std::move(drive);
    test.driveSize = static_cast<std::int64_t>(ram.bytes_.size());
    RecordingEvents events(test);
    test.roundEvents = &events;
    {
        const OutputCapture quiet;
        NormalTest(test);
    }
    EXPECT_EQ(events.events, (std::vector<std::string>{"start", "last batch", "round", "start",
                                                       "last batch", "round", "start"}));
    EXPECT_EQ(test.uncorrectableBitErrors, 0u);

    // The second round's pattern, block after block; the last block untouched.
    std::vector<std::uint32_t> pattern(kBlockBytes / 4);
    PatternSource replay;
    replay.patternGenerator.seed(5);
    for (int round = 0; round < 2; ++round)
        for (auto& word : pattern) word = replay.NextPatternWord();
    for (std::size_t block = 0; block < 3; ++block) {
        const bool written = block < 2;
        const int same =
            std::memcmp(ram.bytes_.data() + block * kBlockBytes, pattern.data(), kBlockBytes);
        EXPECT_EQ(same == 0, written) << "block " << block;
    }
}

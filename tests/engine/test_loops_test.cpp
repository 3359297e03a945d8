// The normal and the read-only test loops on small lab drives, driven by a
// scripted operator.
#include <gtest/gtest.h>

#include <boost/date_time/posix_time/posix_time.hpp>
#include <boost/random/mersenne_twister.hpp>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/drive_open.h"
#include "engine/dump_record.h"
#include "engine/normal_loop.h"
#include "engine/pattern.h"
#include "engine/read_only_loop.h"
#include "engine/test_context.h"
#include "platform/disk_list.h"
#include "platform/process.h"
#include "status/cssd_status.h"
#include "tests/support/scratch.h"
#include "text/operator_output.h"
#include "tracking/result_log.h"
#include "tracking/round_recorder.h"

namespace {

constexpr std::uint32_t kSeed = 4711;
using Block = std::vector<std::uint8_t>;

// The pattern of round `round` (1-based) for a generator seeded with kSeed.
Block ExpectedPattern(int round) {
    boost::random::mt19937 generator(kSeed);
    Block block(kBlockBytes);
    for (int r = 1; r <= round; ++r) {
        for (std::uint32_t i = 0; i < kBlockBytes; i += 4) {
            std::uint32_t word = generator();
            while (word == 0xFFFFFFFFu) word = generator();
            std::memcpy(&block[i], &word, 4);
        }
    }
    return block;
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

class LabLoopTest : public testing::Test {
protected:
    void SetUp() override {
        probe_.driveNumber = drive_;
        probe_.programFolder = scratch_.wide();
    }

    void TearDown() override { test_.reset(); }

    // A bench of one supported-kind drive that makes no bit errors of its own.
    void WriteBench(int sizeMib, const std::string& extra = "") {
        sizeMib_ = sizeMib;
        std::ofstream bench(Folder() + "/ssdlab.json");
        bench << R"({"drives": [{"number": )" << drive_ << R"(, "kind": "kvt", "size_mib": )"
              << sizeMib << R"(, "model": "Loop Lab", "serial": "LOOP", "firmware": "L1",)"
              << R"( "rber_start": 0, "rber_rated": 0, "rber_max": 0, "seed": 1)" << extra << "}]}";
    }

    // A context on the drive as the run driver leaves it before a loop.
    CSSDTest& OpenTest() {
        test_ = std::make_unique<CSSDTest>();
        CSSDTest& test = *test_;
        test.driveNumber = drive_;
        platform::DiskRecord disk;
        disk.Index = static_cast<std::int32_t>(drive_);
        disk.Size = static_cast<std::int64_t>(sizeMib_) << 20;
        EXPECT_TRUE(test.currentStatus->Init(disk));
        test.currentStatus->Refresh();
        test.previousStatus = test.currentStatus;
        test.programFolder = scratch_.wide();  // its dump files; no viewer there to run
        test.viewerEnabled = false;
        {
            const OutputCapture quiet;
            OpenDrive(test, test);
        }
        const std::string logPath = LogPath();
        test.resultLogPath = std::wstring(logPath.begin(), logPath.end());
        OpenLogStream(test, *test.currentStatus);
        EXPECT_TRUE(test.resultLog.good());
        test.patternGenerator.seed(kSeed);
        test.interruptPoll = [this, &test] { return Poll(test); };
        return test;
    }

    // The scripted operator: keys_[n] is pressed before the n-th block.
    StopCode Poll(CSSDTest& test) {
        ++polls_;
        const auto key = keys_.find(polls_);
        if (key == keys_.end()) return kGoOn;
        if (key->second == 'e') {
            test.aecTarget = static_cast<std::uint32_t>(test.currentStatus->AverageEraseCount);
            return kGoOn;
        }
        return kAbandoned;
    }

    // Runs one loop; returns its console output and, after a failure, the message.
    std::string Run(void (*loop)(CSSDTest&), std::string* failure = nullptr) {
        const OutputCapture output;
        try {
            const RoundRecorder recorder(*test_);
            loop(*test_);
        } catch (const std::exception& error) {
            if (failure != nullptr) *failure = error.what();
        }
        test_.reset();  // closes the drive and the log
        return output.Text();
    }

    std::string ImagePath() const {
        return Folder() + "/lab_drive" + std::to_string(drive_) + ".img";
    }
    std::string Folder() const { return scratch_.path().string(); }
    std::string LogPath() const { return Folder() + "/result.csv"; }
    std::string DumpPath(int k) const { return platform::NativePath(DumpFileName(k, probe_)); }
    // Removes the dump files and their record.
    void RemoveDumpFiles() {
        const std::string prefix = "drive" + std::to_string(drive_) + "_";
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(scratch_.path(), error)) {
            if (entry.path().filename().string().rfind(prefix, 0) == 0) {
                std::filesystem::remove(entry.path(), error);
            }
        }
    }

    Block ReadFileBlock(const std::string& path, std::int64_t index) const {
        std::ifstream in(path, std::ios::binary);
        in.seekg(index * kBlockBytes);
        Block block(kBlockBytes, 0xAA);
        in.read(reinterpret_cast<char*>(block.data()), kBlockBytes);
        EXPECT_EQ(in.gcount(), static_cast<std::streamsize>(kBlockBytes)) << path;
        return block;
    }
    Block ImageBlock(std::int64_t index) const { return ReadFileBlock(ImagePath(), index); }
    Block Dump(int k) const { return ReadFileBlock(DumpPath(k), 0); }

    void WriteImageBlock(std::int64_t index, const Block& block) {
        std::fstream io(ImagePath(), std::ios::binary | std::ios::in | std::ios::out);
        if (!io.is_open()) io.open(ImagePath(), std::ios::binary | std::ios::out);
        io.seekp(index * kBlockBytes);
        io.write(reinterpret_cast<const char*>(block.data()), kBlockBytes);
    }

    test_support::ScratchFolder scratch_;
    test_support::EnvOverride labDir_{"SSDLAB_DIR", Folder()};
    test_support::EnvOverride home_{"HOME", Folder()};
    const std::uint32_t drive_ = 100;
    CSSDTest probe_;  // names the drive's files as the loops' contexts do
    int sizeMib_ = 0;
    std::unique_ptr<CSSDTest> test_;
    int polls_ = 0;
    std::map<int, char> keys_;
};

}  // namespace

TEST_F(LabLoopTest, NormalRoundCoversTheDriveButItsLastBlockAndTheFinishKeyEndsAfterIt) {
    WriteBench(6);
    const Block marker(kBlockBytes, 0x5A);
    WriteImageBlock(5, marker);
    OpenTest().aecTarget = 100;
    keys_[2] = 'e';
    const std::string output = Run(NormalTest);

    EXPECT_EQ(Count(output, "Start Normal Test.\n"), 1u) << output;
    EXPECT_EQ(Count(output, "Verify : "), 0u) << output;
    EXPECT_EQ(Count(output, "Round Finished."), 0u) << output;
    EXPECT_EQ(Count(output, "RBER: "), 1u) << output;
    EXPECT_EQ(polls_, 5);
    const Block pattern = ExpectedPattern(1);
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(ImageBlock(i) == pattern) << "block " << i;
    EXPECT_TRUE(ImageBlock(5) == marker) << "the last block is never written";
    EXPECT_TRUE(Dump(1) == pattern);
    EXPECT_TRUE(Dump(2) == Block(kBlockBytes, 0)) << "no previous round: zero-filled";
    EXPECT_EQ(Lines(LogPath()).size(), 1u);
}

TEST_F(LabLoopTest, RoundsGoOnUntilTheEraseCountReachesTheTarget) {
    // Each round writes 5 of 6 MiB, with amplification 1.5 one erase cycle and
    // a quarter: the count is 1 after the first round and 2 after the second.
    WriteBench(6, R"(, "write_amplification": 1.5)");
    OpenTest().aecTarget = 2;
    const std::string output = Run(NormalTest);

    EXPECT_EQ(Count(output, "Round Finished.\n"), 1u) << output;
    EXPECT_EQ(Count(output, "RBER: "), 2u) << output;
    EXPECT_LT(output.find("RBER: "), output.find("Round Finished."));
    EXPECT_EQ(Count(output, "Verify : "), 0u) << output;
    const Block second = ExpectedPattern(2);
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(ImageBlock(i) == second) << "block " << i;
    EXPECT_TRUE(Dump(1) == second);
    EXPECT_TRUE(Dump(2) == ExpectedPattern(1));
    EXPECT_EQ(Lines(LogPath()).size(), 2u);
}

TEST_F(LabLoopTest, AbandonedRoundLeavesBothPatternsOnTheDrive) {
    WriteBench(6);
    OpenTest().aecTarget = 100;
    keys_[8] = 'q';  // round 1 polls 5 times; the 3rd block of round 2 is not written
    const std::string output = Run(NormalTest);

    EXPECT_EQ(Count(output, "Round Finished."), 1u) << output;
    EXPECT_EQ(Count(output, "RBER: "), 1u) << "only the full round has a rate";
    EXPECT_EQ(Count(output, "Verify : "), 0u) << output;
    const Block first = ExpectedPattern(1);
    const Block second = ExpectedPattern(2);
    EXPECT_TRUE(ImageBlock(0) == second);
    EXPECT_TRUE(ImageBlock(1) == second);
    for (int i = 2; i < 5; ++i) EXPECT_TRUE(ImageBlock(i) == first) << i;
    EXPECT_TRUE(Dump(1) == second);
    EXPECT_TRUE(Dump(2) == first);
}

TEST_F(LabLoopTest, TraceNotesARoundCutShortOnlyWhenItTransferredABlock) {
    WriteBench(6);
    const std::string trace = Folder() + "/trace.log";
    const test_support::EnvOverride traceFile("SSDTEST_TRACE", trace);
    // Round 1 polls 5 times: the 6th poll is before round 2's first block,
    // the 8th inside it.
    for (const int keyPoll : {6, 8}) {
        std::filesystem::remove(trace);
        polls_ = 0;
        keys_ = {{keyPoll, 'q'}};
        OpenTest().aecTarget = 100;
        Run(NormalTest);
        const std::string notes = test_support::ReadBytes(trace);
        EXPECT_EQ(Count(notes, "round end: drive 100, round 1,"), 1u) << notes;
        EXPECT_EQ(Count(notes, "round cut short: drive 100, round 2,"), keyPoll == 8 ? 1u : 0u)
            << notes;
        EXPECT_EQ(Count(notes, "round cut short"), keyPoll == 8 ? 1u : 0u) << notes;
    }
}

TEST_F(LabLoopTest, KeyBeforeTheFirstBlockWritesNothing) {
    WriteBench(4);
    const Block old(kBlockBytes, 0x33);
    WriteImageBlock(0, old);
    {
        std::ofstream dump(DumpPath(1), std::ios::binary);
        dump.write(reinterpret_cast<const char*>(old.data()), kBlockBytes);
    }
    OpenTest();
    keys_[1] = 'q';
    const std::string output = Run(NormalTest);

    EXPECT_EQ(polls_, 1);
    EXPECT_EQ(Count(output, "RBER: "), 0u) << output;
    EXPECT_TRUE(ImageBlock(0) == old);
    EXPECT_TRUE(Dump(1) == old) << "the dump of the earlier test still matches the drive";
    const auto lines = Lines(LogPath());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(",0,0\r"), std::string::npos) << lines[0] << ": both speeds 0";
}

TEST_F(LabLoopTest, AFailedWriteLeavesDumpFilesOfTheRoundItBegan) {
    for (int failingMib : {3, 0}) {
        RemoveDumpFiles();
        std::filesystem::remove(LogPath());
        WriteBench(8, R"(, "faults": {"io_error_at_mib": )" + std::to_string(failingMib) + "}");
        OpenTest();
        std::string failure;
        Run(NormalTest, &failure);

        EXPECT_FALSE(failure.empty()) << failingMib;
        // Written before the first block: the failed write may have changed its block.
        for (int i = 0; i < failingMib; ++i) EXPECT_TRUE(ImageBlock(i) == ExpectedPattern(1)) << i;
        EXPECT_TRUE(Dump(1) == ExpectedPattern(1)) << failingMib;
        EXPECT_TRUE(Dump(2) == Block(kBlockBytes, 0)) << failingMib;
        EXPECT_TRUE(Lines(LogPath()).empty()) << "no result line after a failure";
    }
}

TEST_F(LabLoopTest, ReadOnlyTestVerifiesTheDriveAgainstTheLastPattern) {
    WriteBench(6);
    WriteImageBlock(5, Block(kBlockBytes, 0x77));  // the tail is never read
    OpenTest();
    Run(NormalTest);

    // A clean drive: silent, one rate, a result line with write speed 0.
    polls_ = 0;
    OpenTest();
    std::string output = Run(ReadOnlyTest);
    EXPECT_EQ(Count(output, "Start Read Only Test.\n"), 1u) << output;
    EXPECT_EQ(Count(output, "Verify : "), 0u) << output;
    EXPECT_EQ(Count(output, "RBER: "), 1u) << output;
    EXPECT_EQ(polls_, 5);
    auto lines = Lines(LogPath());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[1].find(",0\r"), std::string::npos) << lines[1] << ": write speed 0";

    // One bit of block 1 and a whole sector of block 4 corrupted.
    Block oneBit = ExpectedPattern(1);
    oneBit[kBlockBytes - 1] ^= 0x04;
    WriteImageBlock(1, oneBit);
    Block sector = ExpectedPattern(1);
    for (std::size_t i = 512 * 3; i < 512 * 4; ++i) sector[i] ^= 0xFF;
    WriteImageBlock(4, sector);
    CSSDTest& test = OpenTest();
    test.uncorrectableBitErrors = 10;
    {
        const OutputCapture capture;
        const RoundRecorder recorder(test);
        ReadOnlyTest(test);
        output = capture.Text();
    }
    EXPECT_EQ(Count(output, "Verify : "), 2u) << output;
    EXPECT_LT(output.find("Verify : 1 1\n"), output.find("Verify : 4096 1\n")) << output;
    EXPECT_EQ(test.uncorrectableBitErrors, 10u + 4097u);
    EXPECT_EQ(test.sectorFailCount, 2u);

    // "e" only prints in a read-only test; any other key stops it at once:
    // block 1 is read, block 4 is not; a result line follows, but no rate.
    polls_ = 0;
    OpenTest();
    keys_[2] = 'e';
    keys_[3] = 'q';
    output = Run(ReadOnlyTest);
    EXPECT_EQ(polls_, 3);
    EXPECT_EQ(Count(output, "Verify : "), 1u) << output;
    EXPECT_EQ(Count(output, "RBER: "), 0u) << output;
    EXPECT_EQ(Lines(LogPath()).size(), 4u);
}

TEST_F(LabLoopTest, ReadOnlyTestFollowsTheDumpRecord) {
    WriteBench(6);
    OpenTest().aecTarget = 1;
    Run(NormalTest);  // two rounds: the drive holds pattern 2, dump file 2 pattern 1
    const Block first = ExpectedPattern(1);
    const Block second = ExpectedPattern(2);

    // As after a crash in round 2: blocks 0-1 written, block 2 in flight (torn
    // here), blocks 3-4 still hold pattern 1, block 3 in the batch in flight.
    DumpRecord record{PatternId(second.data()), PatternId(first.data()), true, 2 << 20, 4 << 20};
    ASSERT_EQ(SaveDumpRecord(probe_, record), "");
    Block torn = second;
    std::memcpy(torn.data(), first.data(), kBlockBytes / 2);
    WriteImageBlock(2, torn);
    WriteImageBlock(3, first);
    WriteImageBlock(4, first);
    CSSDTest& test = OpenTest();
    std::string output;
    {
        const OutputCapture capture;
        const RoundRecorder recorder(test);
        ReadOnlyTest(test);
        output = capture.Text();
    }
    EXPECT_EQ(Count(output, "Verify : "), 0u) << output;
    EXPECT_EQ(Count(output, "Verify Unknown : 1 blocks"), 1u) << output;
    EXPECT_EQ(test.uncorrectableBitErrors + test.sectorFailCount, 0u);

    // Past the batch in flight a block is verified against dump file 2.
    Block flipped = first;
    flipped[7] ^= 0x01;
    WriteImageBlock(4, flipped);
    test_.reset();
    OpenTest();
    output = Run(ReadOnlyTest);
    EXPECT_EQ(Count(output, "Verify : 1 1\n"), 1u) << output;

    // Blocks the record says were never written are unknown, whatever they hold.
    DumpRecord unwritten{record.currentId, record.previousId, false, 2 << 20, 2 << 20};
    ASSERT_EQ(SaveDumpRecord(probe_, unwritten), "");
    OpenTest();
    output = Run(ReadOnlyTest);
    EXPECT_EQ(Count(output, "Verify : "), 0u) << output;
    EXPECT_EQ(Count(output, "Verify Unknown : 3 blocks were never written"), 1u) << output;

    // A record that does not describe the dump files counts nothing and is named.
    record.previousId = record.currentId;
    ASSERT_EQ(SaveDumpRecord(probe_, record), "");
    OpenTest();
    output = Run(ReadOnlyTest);
    EXPECT_EQ(Count(output, "Verify : "), 0u) << output;
    EXPECT_EQ(Count(output, "Verify Unknown : 3 blocks differ from dump file 1"), 1u) << output;
    EXPECT_EQ(Count(output, "Dump File Rejected: "), 1u) << output;
}

TEST_F(LabLoopTest, ReadOnlyTestWithoutDumpFileReadsNothing) {
    WriteBench(4);
    OpenTest();
    std::string failure;
    const std::string output = Run(ReadOnlyTest, &failure);

    EXPECT_EQ(failure, "Dump File Open Failed:2");
    EXPECT_EQ(polls_, 0);
    EXPECT_EQ(Count(output, "Start Read Only Test."), 0u);
    EXPECT_TRUE(Lines(LogPath()).empty());
}

TEST_F(LabLoopTest, EraseCountChangesInsideRoundsPrintTheEta) {
    // 1025 blocks a round, two batches. With amplification 2 the count reaches
    // 1 in the first batch of round 1 (first change: no estimate) and 3 in the
    // first batch of round 2, which is the target: the estimate is now.
    WriteBench(1026, R"(, "write_amplification": 2.0)");
    OpenTest().aecTarget = 3;
    const std::string output = Run(NormalTest);
    const auto now = LocalTimeNow();

    EXPECT_EQ(Count(output, "Round Finished.\n"), 1u) << output;
    EXPECT_EQ(Count(output, "Addr: 1.07374[GB] Spd: "), 2u) << output;
    ASSERT_EQ(Count(output, "Current AEC: 1\nRound Time: "), 1u) << output;
    EXPECT_EQ(Count(output, "Current AEC: "), 1u) << output;
    const auto etaAt = output.find("ETA : ");
    ASSERT_NE(etaAt, std::string::npos) << output;
    const std::string eta = output.substr(etaAt + 6, output.find('\n', etaAt) - etaAt - 6);
    const auto etaTime = boost::posix_time::time_from_string(eta);
    EXPECT_LE((now - etaTime).total_seconds(), 10) << eta;
    EXPECT_GE((now - etaTime).total_seconds(), 0) << eta;
    EXPECT_EQ(Lines(LogPath()).size(), 4u) << "a line per change and per round";
}

TEST_F(LabLoopTest, AtDepthTheLoopsLeaveTheDriveAndCountTheErrorsAsOneAtATimeDoes) {
    WriteBench(6, R"(, "queue_depth": 4)");
    OpenTest().aecTarget = 1;
    keys_[9] = 'q';  // round 1 polls 5 times; the 4th block of round 2 is not written
    std::string output = Run(NormalTest);
    EXPECT_EQ(Count(output, "Round Finished."), 1u) << output;
    EXPECT_EQ(Count(output, "Verify : "), 0u) << output;
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(ImageBlock(i) == ExpectedPattern(i < 3 ? 2 : 1)) << "block " << i;

    // A flipped bit in a block of each pattern, found once each in any order.
    Block second = ExpectedPattern(2);
    second[100] ^= 0x10;
    WriteImageBlock(0, second);
    Block first = ExpectedPattern(1);
    for (std::size_t i = 0; i < 1024; ++i) first[i] ^= 0xFF;
    WriteImageBlock(4, first);
    polls_ = 0;
    keys_.clear();
    CSSDTest& test = OpenTest();
    {
        const OutputCapture capture;
        const RoundRecorder recorder(test);
        ReadOnlyTest(test);
        output = capture.Text();
    }
    EXPECT_EQ(polls_, 5);
    EXPECT_EQ(Count(output, "Verify : 1 1\n"), 1u) << output;
    EXPECT_EQ(Count(output, "Verify : 8192 2\n"), 1u) << output;
    EXPECT_EQ(test.uncorrectableBitErrors, 8193u);
    EXPECT_EQ(test.tally.blocksRead, 5u) << "every read completed";
}

TEST_F(LabLoopTest, AFailedWriteAtDepthLeavesARecordUnderWhichTheDriveHoldsNoFalseErrors) {
    WriteBench(8, R"(, "queue_depth": 4, "faults": {"io_error_at_mib": 5})");
    OpenTest();
    std::string failure;
    Run(NormalTest, &failure);
    EXPECT_EQ(failure, "GetQueuedCompletionStatus Failed1\nWrite at 5 MiB: Input/output error");

    std::ifstream recordFile(platform::NativePath(DumpRecordName(probe_)));
    std::map<std::string, std::int64_t> record;
    std::string line;  // "key value"; identity values may hold blanks
    while (std::getline(recordFile, line)) {
        const std::size_t blank = line.find(' ');
        const std::string key = line.substr(0, blank);
        if (blank != std::string::npos && key.find("bytes") != std::string::npos)
            record[key] = std::stoll(line.substr(blank + 1));
    }
    EXPECT_LE(record["written_bytes"], 5 << 20) << "the failed write is not counted written";
    EXPECT_GE(record["unsure_end_bytes"], 6 << 20) << "nor any write that may have been in flight";
    for (std::int64_t i = 0; i < record["written_bytes"] >> 20; ++i)
        EXPECT_TRUE(ImageBlock(i) == ExpectedPattern(1)) << "block " << i;

    WriteBench(8, R"(, "queue_depth": 4)");
    OpenTest();
    const std::string output = Run(ReadOnlyTest);
    EXPECT_EQ(Count(output, "Verify : "), 0u) << output;
}

// The run's machine outputs: the status object, the shared copy that never
// replaces another drive's, the metrics text and the ETA.
#include "tracking/run_publisher.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>

#include "tests/support/named_log_fixture.h"
#include "text/operator_output.h"
#include "tracking/metrics_file.h"
#include "tracking/progress_text.h"
#include "tracking/round_recorder.h"
#include "tracking/status_file.h"

namespace {

nlohmann::json ReadJson(const std::filesystem::path& path) {
    std::ifstream in(path);
    return nlohmann::json::parse(in);
}

TEST(StatusJson, UnknownFiguresAreNullNotInvalidJson) {
    RunFigures figures;
    figures.readOnly = true;
    figures.rber = std::numeric_limits<double>::quiet_NaN();  // nothing read yet
    figures.drive.model = "Bad \xff model";
    const nlohmann::json status = nlohmann::json::parse(StatusText(figures));
    EXPECT_TRUE(status["rber"].is_null());
    EXPECT_TRUE(status["target_aec"].is_null()) << "the read-only test has no target";
    EXPECT_TRUE(status["estimated_end"].is_null());
    EXPECT_EQ(status["test"], "read-only");
    EXPECT_EQ(status["updated"], "1970-01-01T00:00:00Z");
}

TEST(StatusJson, EstimateFollowsTheRunsPaceAndOnlyOnceTheCountMoved) {
    EXPECT_EQ(EstimatedEnd(10, 10, 20, 1000, 5000), 0) << "no pace yet";
    EXPECT_EQ(EstimatedEnd(10, 20, 20, 1000, 5000), 0) << "target reached";
    EXPECT_EQ(EstimatedEnd(10, 12, 20, 1000, 1200), 1200 + 8 * 100);
    EXPECT_EQ(StatusFileName(L"/d/drive1_M.csv"), L"/d/drive1_M.status.json");
    EXPECT_EQ(DurationText(59), "<1m");
    EXPECT_EQ(DurationText(3600 + 5 * 60), "1h 05m");
    EXPECT_EQ(DurationText(3 * 86400 + 4 * 3600 + 59), "3d 04h");
}

TEST(MetricsText, LabelsAreEscapedAndExactlyOneStateIsSet) {
    RunFigures figures;
    figures.drive.serial = "S1";
    figures.drive.model = "A \"quoted\\\" model\n";
    figures.state = RunState::kFailed;
    figures.rber = std::numeric_limits<double>::quiet_NaN();
    const std::string text = MetricsText(figures);
    EXPECT_NE(text.find(R"(model="A \"quoted\\\" model\n")"), std::string::npos) << text;
    EXPECT_NE(text.find(R"(state="failed"} 1)"), std::string::npos);
    EXPECT_EQ(text.find(R"(state="running"} 1)"), std::string::npos);
    EXPECT_NE(text.find("ssdtest_raw_bit_error_rate{serial=\"S1\""), std::string::npos);
    EXPECT_NE(text.find("} NaN\n"), std::string::npos);
    RunDriveIdentity odd;
    odd.serial = "../x y";
    EXPECT_EQ(MetricsFileName(L"m", odd), L"m/ssdtest_.._x_y.prom");
}

class SharedCopyTest : public NamedLogFixture {
protected:
    SharedCopyTest() : NamedLogFixture(1, "KV 256") {
        test.currentStatus->SerialNumber = "MINE";
        test.sharedFolder = shared.wide();
        test.tally.started = true;
    }
    std::filesystem::path SharedStatus() const {
        return shared.path() / "drive1_KV 256.status.json";
    }
    void WriteOtherBenchsStatus(const std::string& serial) {
        RunFigures other;
        other.drive.serial = serial;
        std::ofstream(SharedStatus()) << StatusText(other);
    }
    test_support::ScratchFolder shared;
};

TEST_F(SharedCopyTest, AnotherDrivesCopyIsKeptAndTheMoveIsSaidOnce) {
    WriteOtherBenchsStatus("THEIRS");
    test.outputs.sayNotes = true;
    const OutputCapture output;
    {
        RunPublisher publisher(test);
        publisher.Start();
        test.errorMap.Note(0, 3, 1);  // a round with errors in its first block
        WriteErrorMapRound(test, true);
        test.runObserver(RunMoment::kRoundEnd);
        publisher.End(RunState::kFinished, "");
    }
    EXPECT_EQ(test.sharedLogName, (shared.path() / "drive1_KV 256_MINE.csv").wstring());
    // The error map goes beside the moved copy; the other drive's map is not replaced.
    EXPECT_TRUE(std::filesystem::exists(shared.path() / "drive1_KV 256_MINE.errors.csv"));
    EXPECT_FALSE(std::filesystem::exists(shared.path() / "drive1_KV 256.errors.csv"));
    EXPECT_EQ(ReadJson(SharedStatus())["drive"]["serial"], "THEIRS");
    const nlohmann::json mine = ReadJson(shared.path() / "drive1_KV 256_MINE.status.json");
    EXPECT_EQ(mine["state"], "finished");
    EXPECT_EQ(ReadJson(scratch.path() / "drive1_KV 256.status.json"), mine);
    const std::string said = output.Text();
    EXPECT_EQ(said.find("published as"), said.rfind("published as")) << said;
    EXPECT_NE(said.find("published as"), std::string::npos);
}

TEST_F(SharedCopyTest, OwnOrNoStatusKeepsTheLogsOwnName) {
    for (const char* owner : {"", "MINE"}) {
        if (*owner != '\0') WriteOtherBenchsStatus(owner);
        RunPublisher publisher(test);
        publisher.Start();
        EXPECT_EQ(test.sharedLogName, (shared.path() / "drive1_KV 256.csv").wstring()) << owner;
        publisher.End(RunState::kAbandoned, "abandoned by a key");
        EXPECT_EQ(ReadJson(SharedStatus())["reason"], "abandoned by a key");
    }
}

}  // namespace

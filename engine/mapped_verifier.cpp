#include "engine/mapped_verifier.h"

#include <boost/date_time/posix_time/posix_time.hpp>

#include "engine/run_folders.h"
#include "platform/process.h"
#include "smart/process_utils.h"
#include "text/operator_output.h"
#include "tracking/error_map.h"
#include "tracking/result_log.h"

MappedVerifier::MappedVerifier(VerificationTotals& totals, BlockVerifier& inner, bool readOnly)
    : totals_(totals), inner_(inner) {
    totals_.errorMap.SetReadOnly(readOnly);
}

template <typename Check>
BlockErrors MappedVerifier::Mapped(std::int64_t offsetBytes, Check check) {
    const std::uint64_t bits = totals_.uncorrectableBitErrors;
    const std::uint64_t sectors = totals_.sectorFailCount;
    const BlockErrors found = check();
    totals_.errorMap.Note(offsetBytes, totals_.uncorrectableBitErrors - bits,
                          totals_.sectorFailCount - sectors);
    return found;
}

BlockErrors MappedVerifier::Verify(const std::uint8_t* data, std::int64_t offsetBytes) {
    return Mapped(offsetBytes, [&] { return inner_.Verify(data, offsetBytes); });
}

BlockErrors MappedVerifier::VerifyAndClear(std::uint8_t* data, std::int64_t offsetBytes) {
    return Mapped(offsetBytes, [&] { return inner_.VerifyAndClear(data, offsetBytes); });
}

void WriteErrorMapRound(CSSDTest& test, bool complete) {
    if (!test.errorMap.HasRound()) return;  // a round that verified nothing is no round
    const std::string time = boost::posix_time::to_iso_extended_string(
                                 boost::posix_time::second_clock::universal_time()) +
                             "Z";
    const std::wstring path = ErrorMapPath(test.resultLogPath);
    const std::string reason = AppendErrorMapRound(test.errorMap, path, time,
                                                   test.currentStatus->AverageEraseCount, complete);
    if (!reason.empty() && !test.errorMapFailureSaid) {
        OutWide(L"Error Map Write Failed: " + path + L": " + ToWide(reason) + L"\n");
        test.errorMapFailureSaid = true;
    }
    // Beside the shared copy of the log too, under the copy's own name when it
    // was moved aside for another drive's log (whose map must stay). A shared
    // folder that cannot be reached is said once, by the log's own copy.
    const std::wstring sharedLog = test.sharedLogName.empty()
                                       ? ResultLogName(*test.currentStatus, PublishFolder(test))
                                       : test.sharedLogName;
    if (reason.empty())
        static_cast<void>(platform::CopyFileReplacing(path, ErrorMapPath(sharedLog)));
}

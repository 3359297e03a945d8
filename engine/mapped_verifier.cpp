#include "engine/mapped_verifier.h"

#include "engine/error_map.h"

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

// A verifier that also notes in the test's error map which blocks had errors.
#pragma once

#include <cstdint>

#include "engine/read_pipeline.h"
#include "engine/test_context.h"

/// Wraps the loop's verifier: each block's share of the tool's bit error and
/// failed sector counts goes to the error map with the block's offset.
class MappedVerifier : public BlockVerifier {
public:
    MappedVerifier(VerificationTotals& totals, BlockVerifier& inner, bool readOnly = false);
    BlockErrors Verify(const std::uint8_t* data, std::int64_t offsetBytes) override;
    BlockErrors VerifyAndClear(std::uint8_t* data, std::int64_t offsetBytes) override;

private:
    template <typename Check>
    BlockErrors Mapped(std::int64_t offsetBytes, Check check);

    VerificationTotals& totals_;
    BlockVerifier& inner_;
};

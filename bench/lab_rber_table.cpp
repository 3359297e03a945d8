// Prints the tables of docs/lab-flash-model.md: the raw bit error rate the lab
// draws beside the published model's at a few P/E counts, retention times and
// read counts, and the UBER of the default bench's drives over their life.
// Usage: lab_rber_table
#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/lab/lab_flash_model.h"
#include "platform/lab/lab_wear.h"

namespace {

using platform::lab::FlashParams;
using platform::lab::FlashRber;

/// The rate the lab draws at one point of the model, over many blocks.
double DrawnRate(double pe, double days, double reads) {
    return platform::lab::SampledRber(pe, days, reads, 2000, 128, 11);
}

/// Uncorrectable bit error rate of sectors at `rber` whose ECC corrects `eccBits`:
/// error bits delivered per bit read, over the lognormal block factor and the
/// gamma-Poisson (negative binomial) count per sector.
double Uber(double rber, unsigned eccBits, const FlashParams& flash) {
    constexpr int kSteps = 161;
    double total = 0, weights = 0;
    for (int i = 0; i < kSteps; ++i) {
        const double z = -8.0 + 16.0 * i / (kSteps - 1);
        const double weight = std::exp(-0.5 * z * z);
        const double mean =
            4096 * rber *
            std::exp(flash.blockSigma * z - 0.5 * flash.blockSigma * flash.blockSigma);
        const double k = flash.sectorShape;
        const double p = k / (k + mean);
        double tail = 0;
        for (unsigned x = eccBits + 1; x < eccBits + 400; ++x)
            tail += x * std::exp(std::lgamma(x + k) - std::lgamma(k) - std::lgamma(x + 1.0) +
                                 k * std::log(p) + x * std::log1p(-p));
        total += weight * tail;
        weights += weight;
    }
    return total / weights / 4096;
}

}  // namespace

int main() {
    const FlashParams flash;
    std::printf("| P/E | days | reads | published RBER | lab RBER | lab / published |\n");
    std::printf("|---:|---:|---:|---:|---:|---:|\n");
    for (const double reads : {0.0, 10000.0})
        for (const double days : {0.0, 30.0}) {
            if (reads > 0 && days > 0) continue;
            for (const double pe : {0.0, 1000.0, 3000.0, 5000.0, 10000.0}) {
                const double published = FlashRber(flash, pe, days, reads);
                const double drawn = DrawnRate(pe, days, reads);
                std::printf("| %.0f | %.0f | %.0f | %.3e | %.3e | %.3f |\n", pe, days, reads,
                            published, drawn, drawn / published);
            }
        }
    std::printf(
        "\n| erase count (rated 30) | RBER | UBER, 24-bit ECC (drive 1) | "
        "UBER, 18-bit ECC (drive 3) |\n|---:|---:|---:|---:|\n");
    for (const int aec : {0, 10, 15, 17, 20, 30, 40, 45, 48, 50, 60}) {
        const double rber = FlashRber(flash, aec * flash.modelCycles / 30, 0, 0);
        std::printf("| %d | %.3e | %.1e | %.1e |\n", aec, rber, Uber(rber, 24, flash),
                    Uber(rber, 18, flash));
    }
    return 0;
}

#include "tracking/progress_text.h"

#include <cstdio>

std::string DurationText(std::int64_t seconds) {
    const long long minutes = static_cast<long long>(seconds / 60);
    char text[48];
    if (minutes < 1) return "<1m";
    if (minutes < 60) {
        std::snprintf(text, sizeof text, "%lldm", minutes);
    } else if (minutes < 24 * 60) {
        std::snprintf(text, sizeof text, "%lldh %02lldm", minutes / 60, minutes % 60);
    } else {
        std::snprintf(text, sizeof text, "%lldd %02lldh", minutes / (24 * 60), minutes / 60 % 24);
    }
    return text;
}

std::string ProgressText(const RunFigures& figures) {
    char text[200];
    if (figures.readOnly) {
        std::snprintf(text, sizeof text, "Round %u: %.1f%%, read %.0f MB/s, erase count %d",
                      figures.round, figures.roundPercent, figures.readMbPerS,
                      figures.averageEraseCount);
        return text;
    }
    const std::string eta =
        figures.estimatedEndUnixTime != 0
            ? DurationText(figures.estimatedEndUnixTime - figures.updatedUnixTime)
            : "?";
    std::snprintf(text, sizeof text,
                  "Round %u: %.1f%%, write %.0f read %.0f MB/s, erase count %d/%u, ETA %s",
                  figures.round, figures.roundPercent, figures.writeMbPerS, figures.readMbPerS,
                  figures.averageEraseCount, figures.targetAec, eta.c_str());
    return text;
}

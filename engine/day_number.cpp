#include "engine/day_number.h"

#include <boost/date_time/gregorian/gregorian_types.hpp>
#include <boost/date_time/posix_time/posix_time.hpp>
#include <cmath>
#include <stdexcept>

namespace {

const boost::gregorian::date kDayZero(2008, 1, 1);
// Far enough for every date the calendar can hold (years 1400 to 9999).
constexpr double kMaxDayDistance = 3000000;

}  // namespace

double TimeToDayNumber(const boost::posix_time::ptime& dateTime) {
    const auto days = (dateTime.date() - kDayZero).days();
    const auto timeOfDay = dateTime.time_of_day();
    return static_cast<double>(days) + static_cast<double>(timeOfDay.hours()) / 24 +
           static_cast<double>(timeOfDay.minutes()) / 1440 +
           static_cast<double>(timeOfDay.seconds()) / 86400;
}

boost::posix_time::ptime DayNumberToTime(double dayNumber) {
    if (!(std::fabs(dayNumber) < kMaxDayDistance)) {
        throw std::out_of_range("day number beyond the calendar");
    }
    const double days = std::trunc(dayNumber);
    const double hoursFraction = (dayNumber - days) * 24;
    const double hours = std::trunc(hoursFraction);
    const double minutesFraction = (hoursFraction - hours) * 60;
    const double minutes = std::trunc(minutesFraction);
    // Rounded to the nearest second; 60 carries into the next minute below.
    const double seconds = std::floor((minutesFraction - minutes) * 60 + 0.5);
    return boost::posix_time::ptime(kDayZero + boost::gregorian::days(static_cast<long>(days))) +
           boost::posix_time::hours(static_cast<long>(hours)) +
           boost::posix_time::minutes(static_cast<long>(minutes)) +
           boost::posix_time::seconds(static_cast<long>(seconds));
}

std::string EtaText(const boost::posix_time::ptime& now, double remainingDays) {
    try {
        return boost::posix_time::to_simple_string(
            DayNumberToTime(TimeToDayNumber(now) + remainingDays));
    } catch (const std::out_of_range&) {
        // A target far beyond reach is no reason to end the test.
        return boost::posix_time::to_simple_string(
            boost::posix_time::ptime(boost::posix_time::pos_infin));
    }
}

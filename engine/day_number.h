// Day numbers since 2008-01-01 for the estimated time of arrival.
#pragma once

#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <string>

/// Days from 2008-01-01 to the date-time, with the time of day as a fraction
/// (whole seconds).
double TimeToDayNumber(const boost::posix_time::ptime& dateTime);

/// The date-time of a day number, rounded to the nearest second. Throws
/// std::out_of_range when it lies beyond the calendar (years 1400 to 9999).
boost::posix_time::ptime DayNumberToTime(double dayNumber);

/// The date-time `remainingDays` after `now` in the default text form
/// (2026-Dec-08 14:32:05); "+infinity" when it lies beyond the calendar.
std::string EtaText(const boost::posix_time::ptime& now, double remainingDays);

// Day numbers since 2008-01-01 for the estimated time of arrival.
#pragma once

#include <boost/date_time/posix_time/posix_time_types.hpp>

/// Days from 2008-01-01 to the date-time, with the time of day as a fraction
/// (whole seconds).
double TimeToDayNumber(const boost::posix_time::ptime& dateTime);

/// The date-time of a day number, rounded to the nearest second.
boost::posix_time::ptime DayNumberToTime(double dayNumber);

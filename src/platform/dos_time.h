// DOS date-times: 32 bits, the date in the high half (bits 9-15 year - 1980,
// 5-8 month, 0-4 day) and the time in the low half (bits 11-15 hour, 5-10
// minute, 0-4 seconds / 2), in local time.
#pragma once

#include <cstdint>
#include <ctime>

namespace platform {

// The DOS date-time of a host time (seconds are rounded down to even). 0 for
// a time before 1980 or after 2107, which the form cannot hold.
uint32_t DosDateTimeFromTime(time_t t);

// The host time of a DOS date-time. False when the value is not a real date
// and time (month 13, day 0, hour 24, February 30, ...).
bool TimeFromDosDateTime(uint32_t dosDateTime, time_t& t);

}  // namespace platform

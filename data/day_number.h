// Day numbers: whole local calendar days counted from 30 December 1899 (day 0).
#pragma once

#include <ctime>

namespace kivo::data {

int DayNumber(int year, unsigned month, unsigned day);

// The local date of the given moment as a day number.
int DayNumberAt(std::time_t moment);

// Today's local date as a day number.
int TodayDayNumber();

}  // namespace kivo::data

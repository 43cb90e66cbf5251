#include "data/day_number.h"

#include <chrono>

namespace kivo::data {

int DayNumber(int year, unsigned month, unsigned day) {
    using namespace std::chrono;
    constexpr sys_days kEpoch = 1899y / December / 30d;
    const sys_days date =
        std::chrono::year(year) / std::chrono::month(month) / std::chrono::day(day);
    return static_cast<int>((date - kEpoch).count());
}

int DayNumberAt(std::time_t moment) {
    std::tm local{};
    localtime_r(&moment, &local);
    return DayNumber(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                     static_cast<unsigned>(local.tm_mday));
}

int TodayDayNumber() {
    return DayNumberAt(std::time(nullptr));
}

}  // namespace kivo::data

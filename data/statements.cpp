#include "data/statements.h"

#include <initializer_list>
#include <stdexcept>

#include "data/guid.h"

namespace kivo::data::sql {
namespace {

// Replaces each "%D" or "%S" of the template, in order, by the next value.
std::string Format(std::string_view templ, std::initializer_list<std::string_view> values) {
    std::string text;
    text.reserve(templ.size() + 40);
    auto value = values.begin();
    for (std::size_t i = 0; i < templ.size(); ++i) {
        if (templ[i] == '%' && i + 1 < templ.size() &&
            (templ[i + 1] == 'D' || templ[i + 1] == 'S') && value != values.end()) {
            text += *value++;
            ++i;
        } else {
            text.push_back(templ[i]);
        }
    }
    return text;
}

std::string_view CheckedId(std::string_view id) {
    if (!IsGuidString(id)) {
        throw std::invalid_argument("refusing a row ID that is not a GUID: \"" + std::string(id) +
                                    "\"");
    }
    return id;
}

}  // namespace

std::string FormatSelectHistoryOfDay(int today, int days_ago) {
    return Format(kSelectHistoryOfDay, {std::to_string(today), std::to_string(days_ago)});
}

std::string FormatSelectHistoryOfWeek(int today) {
    const std::string day = std::to_string(today);
    return Format(kSelectHistoryOfWeek, {day, day});
}

std::string FormatDeleteUserInfo(std::string_view account_id) {
    return Format(kDeleteUserInfo, {CheckedId(account_id)});
}

std::string FormatDeleteUser(std::string_view account_id) {
    return Format(kDeleteUser, {CheckedId(account_id)});
}

}  // namespace kivo::data::sql

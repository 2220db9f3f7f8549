#pragma once

#include <string>
#include <string_view>

#include "family/family.h"

// Dates as genealogists write them, read and shown.
namespace rw::family::detail {

// Reads a DATE value: ABT / CAL / EST, BEF, AFT, BET .. AND, FROM .. TO, dual years, calendar escapes
// (@#DJULIAN@) and words (JULIAN), INT date (phrase). Anything else is kept as written, unreadable.
Date parseDate(std::string_view text);

// "1820", "c. 1820", "bef. 1890", "aft. 1890", "1820–22", "1750/51"; an unreadable date as written.
std::string formatDate(const Date& date);

// The latest year a readable date may mean (the end of a range, the second of a dual year); 0 if none.
int latestYear(const Date& date);

}  // namespace rw::family::detail

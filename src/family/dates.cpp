#include "family/dates.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "family/decode.h"

namespace rw::family::detail {
namespace {

bool allDigits(std::string_view s) {
    if (s.empty())
        return false;
    for (const char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

bool isMonth(std::string_view t) {
    static constexpr std::array<std::string_view, 12> months = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                                "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    for (const auto m : months)
        if (t == m)
            return true;
    return false;
}

struct Point {
    int year = 0;
    int dual = 0;
};

// One date without qualifier: [calendar] [[day] month] year[/dual]. Tokens are upper case.
std::optional<Point> parsePoint(const std::vector<std::string>& tokens, std::size_t begin, std::size_t end) {
    std::size_t i = begin;
    if (i < end) {
        const std::string& t = tokens[i];
        if (t == "@#DGREGORIAN@" || t == "@#DJULIAN@" || t == "GREGORIAN" || t == "JULIAN") {
            ++i;
        } else if (t.starts_with("@#D") || t == "HEBREW" || t == "FRENCH_R" || t.starts_with("_")) {
            return std::nullopt;  // years of other calendars are not years of ours
        }
    }
    if (i >= end)
        return std::nullopt;
    const std::size_t count = end - i;
    if (count > 3)
        return std::nullopt;
    if (count == 3) {
        if (!allDigits(tokens[i]) || tokens[i].size() > 2)
            return std::nullopt;
        const int day = std::stoi(tokens[i]);
        if (day < 1 || day > 31)
            return std::nullopt;
        ++i;
    }
    if (end - i == 2) {
        if (!isMonth(tokens[i]))
            return std::nullopt;
        ++i;
    }
    const std::string& y = tokens[i];
    const std::size_t slash = y.find('/');
    const std::string_view first = std::string_view(y).substr(0, slash);
    if (!allDigits(first) || first.size() > 4)
        return std::nullopt;
    Point p;
    p.year = std::stoi(std::string(first));
    if (p.year <= 0)
        return std::nullopt;
    if (slash != std::string::npos) {
        const std::string_view second = std::string_view(y).substr(slash + 1);
        if (!allDigits(second) || second.size() > 4)
            return std::nullopt;
        const int value = std::stoi(std::string(second));
        int scale = 1;
        for (std::size_t k = 0; k < second.size(); ++k)
            scale *= 10;
        int dual = second.size() >= 4 ? value : p.year - p.year % scale + value;
        if (second.size() < 4 && dual <= p.year)
            dual += scale;
        if (dual <= p.year)
            return std::nullopt;
        p.dual = dual;
    }
    return p;
}

}  // namespace

Date parseDate(std::string_view text) {
    Date d;
    d.text = std::string(trimBlanks(text));
    std::string_view body = trimBlanks(text);
    if (body.empty() || body.front() == '(')
        return d;  // a plain phrase
    std::string up = upperAscii(body);
    if (up.starts_with("INT ")) {
        const std::size_t open = up.find('(');
        if (open == std::string::npos)
            return d;
        up = up.substr(4, open - 4);
    } else if (up.find('(') != std::string::npos) {
        return d;
    }
    std::vector<std::string> tokens;
    std::size_t pos = 0;
    while (pos < up.size()) {
        while (pos < up.size() && (up[pos] == ' ' || up[pos] == '\t'))
            ++pos;
        std::size_t end = pos;
        while (end < up.size() && up[end] != ' ' && up[end] != '\t')
            ++end;
        if (end > pos) {
            std::string token = up.substr(pos, end - pos);
            // "@#DFRENCH R@" holds a blank: join the escape back together.
            if (!tokens.empty() && tokens.back().starts_with("@#D") && !tokens.back().ends_with("@"))
                tokens.back() += " " + token;
            else
                tokens.push_back(std::move(token));
        }
        pos = end;
    }
    if (tokens.empty() || tokens.size() > 12)
        return d;

    auto find = [&](std::string_view word) -> std::size_t {
        for (std::size_t i = 0; i < tokens.size(); ++i)
            if (tokens[i] == word)
                return i;
        return tokens.size();
    };
    const std::string& head = tokens[0];
    std::optional<Point> a;
    std::optional<Point> b;
    if (head == "ABT" || head == "CAL" || head == "EST") {
        d.qualifier = Date::Qualifier::About;
        a = parsePoint(tokens, 1, tokens.size());
    } else if (head == "BEF" || head == "TO") {
        d.qualifier = Date::Qualifier::Before;
        a = parsePoint(tokens, 1, tokens.size());
    } else if (head == "AFT") {
        d.qualifier = Date::Qualifier::After;
        a = parsePoint(tokens, 1, tokens.size());
    } else if (head == "BET" || head == "FROM") {
        const std::size_t joint = find(head == "BET" ? "AND" : "TO");
        if (head == "BET" && joint == tokens.size())
            return d;
        a = parsePoint(tokens, 1, joint);
        if (joint == tokens.size()) {
            d.qualifier = Date::Qualifier::After;  // FROM alone: a period that began then
        } else {
            d.qualifier = Date::Qualifier::Range;
            b = parsePoint(tokens, joint + 1, tokens.size());
            if (!b || (a && b->year < a->year))
                return d;
        }
    } else {
        a = parsePoint(tokens, 0, tokens.size());
    }
    if (!a) {
        d.qualifier = Date::Qualifier::Exact;
        return d;
    }
    d.readable = true;
    d.year = a->year;
    d.dualYear = a->dual;
    if (b)
        d.endYear = b->year;
    return d;
}

std::string formatDate(const Date& date) {
    if (!date.readable)
        return date.text;
    std::string base = std::to_string(date.year);
    if (date.dualYear != 0) {
        const int tail = date.dualYear % 100;
        base += (date.dualYear / 100 == date.year / 100 || date.dualYear - date.year < 100)
                    ? "/" + std::string(tail < 10 ? "0" : "") + std::to_string(tail)
                    : "/" + std::to_string(date.dualYear);
    }
    switch (date.qualifier) {
        case Date::Qualifier::Exact:
            return base;
        case Date::Qualifier::About:
            return "c. " + base;
        case Date::Qualifier::Before:
            return "bef. " + base;
        case Date::Qualifier::After:
            return "aft. " + base;
        case Date::Qualifier::Range:
            if (date.endYear == 0 || date.endYear == date.year)
                return base;
            if (date.year >= 1000 && date.endYear / 100 == date.year / 100) {
                const int tail = date.endYear % 100;
                return base + "\u2013" + (tail < 10 ? "0" : "") + std::to_string(tail);
            }
            return base + "\u2013" + std::to_string(date.endYear);
    }
    return base;
}

int latestYear(const Date& date) {
    if (!date.readable)
        return 0;
    return std::max({date.year, date.dualYear, date.endYear});
}

}  // namespace rw::family::detail

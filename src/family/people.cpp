#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <string>
#include <vector>

#include "family/dates.h"
#include "family/decode.h"
#include "family/family.h"

namespace rw::family {
namespace {

constexpr int kLivingYears = 110;
constexpr const char* kEnDash = "\u2013";

const Person& at(const FamilyFile& file, PersonIndex p) {
    return file.people[static_cast<std::size_t>(p)];
}

bool valid(const FamilyFile& file, PersonIndex p) {
    return p >= 0 && static_cast<std::size_t>(p) < file.people.size();
}

std::string nameOf(const Person& person, std::size_t givenKept, bool withSuffix) {
    std::string name;
    // The room is made once: a filled chart builds the names of all its boxes, most of them twice.
    std::size_t room = person.surname.size() + person.suffix.size() + 2;
    for (const std::string& given : person.givenNames)
        room += given.size() + 1;
    name.reserve(room);
    auto add = [&](const std::string& part) {
        if (part.empty())
            return;
        if (!name.empty())
            name.push_back(' ');
        name += part;
    };
    for (std::size_t i = 0; i < person.givenNames.size(); ++i) {
        // The first given name always stays; middle names go from the last one backwards.
        if (i == 0 || i < givenKept)
            add(person.givenNames[i]);
    }
    add(person.surname);
    if (withSuffix)
        add(person.suffix);
    return name;
}

std::string eventText(const std::optional<Event>& event, bool alone) {
    if (!event || !event->date)
        return {};
    const std::string date = detail::formatDate(*event->date);
    switch (event->kind) {
        case Event::Kind::Christening:
            return "chr. " + date;
        case Event::Kind::Burial:
            return "bur. " + date;
        case Event::Kind::Birth:
            return alone ? "b. " + date : date;
        case Event::Kind::Death:
            return alone ? "d. " + date : date;
    }
    return date;
}

// Loop-safe walk up the tree. `path` holds the people on the way from the root.
struct Walker {
    const FamilyFile& file;
    int generations;
    std::vector<Appearance>* out;
    std::vector<Warning>* warnings;
    std::vector<PersonIndex> path;
    std::vector<PersonIndex> looped;  // people whose loop was already reported
    int deepest = 0;

    void visit(PersonIndex p, std::uint32_t number, int generation) {
        deepest = std::max(deepest, generation);
        if (out != nullptr)
            out->push_back({number, p, false});
        if (generation >= generations)
            return;
        path.push_back(p);
        const Person& person = at(file, p);
        const PersonIndex parents[2] = {person.father, person.mother};
        for (int k = 0; k < 2; ++k) {
            const PersonIndex parent = parents[k];
            if (!valid(file, parent))
                continue;
            if (std::find(path.begin(), path.end(), parent) != path.end()) {
                if (warnings != nullptr && std::find(looped.begin(), looped.end(), parent) == looped.end()) {
                    looped.push_back(parent);
                    const Person& again = at(file, parent);
                    warnings->push_back({again.line, displayName(again) + " (" + again.id +
                                                         ") is their own ancestor; that line stops there."});
                }
                continue;
            }
            visit(parent, number * 2 + static_cast<std::uint32_t>(k), generation + 1);
        }
        path.pop_back();
    }
};

// UTF-8 to UTF-16 and back through ICU.
std::u16string wide(std::string_view s) {
    std::u16string w(s.size() + 1, u'\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(w.data(), static_cast<int32_t>(w.size()), &length, s.data(),
                         static_cast<int32_t>(s.size()), 0xFFFD, nullptr, &status);
    w.resize(U_SUCCESS(status) ? static_cast<std::size_t>(length) : 0);
    return w;
}

std::string narrow(std::u16string_view w) {
    std::string s(w.size() * 3 + 1, '\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8WithSub(s.data(), static_cast<int32_t>(s.size()), &length, w.data(),
                       static_cast<int32_t>(w.size()), 0xFFFD, nullptr, &status);
    s.resize(U_SUCCESS(status) ? static_cast<std::size_t>(length) : 0);
    return s;
}

}  // namespace

std::vector<Appearance> ancestors(const FamilyFile& file, PersonIndex root, int generations,
                                  std::vector<Warning>* warnings) {
    std::vector<Appearance> result;
    if (!valid(file, root) || generations < 1)
        return result;
    Walker walker{file, std::min(generations, 15), &result, warnings, {}, {}, 0};
    walker.visit(root, 1, 1);
    std::sort(result.begin(), result.end(),
              [](const Appearance& a, const Appearance& b) { return a.number < b.number; });
    std::vector<bool> seen(file.people.size(), false);
    for (Appearance& a : result) {
        const auto p = static_cast<std::size_t>(a.person);
        a.repeated = seen[p];
        seen[p] = true;
    }
    return result;
}

int knownDepth(const FamilyFile& file, PersonIndex root, int limit) {
    if (!valid(file, root) || limit < 1)
        return 0;
    Walker walker{file, std::min(limit, 15), nullptr, nullptr, {}, {}, 0};
    walker.visit(root, 1, 1);
    return walker.deepest;
}

bool isLiving(const Person& person, int todayYear) {
    if (person.hasDeathRecord)
        return false;
    const bool birthDated = person.birth && person.birth->date && person.birth->date->readable;
    if (!birthDated) {
        // An unreadable birth date says nothing of the age: such a person is treated as having no dates.
        return true;
    }
    return detail::latestYear(*person.birth->date) > todayYear - kLivingYears;
}

std::string displayName(const Person& person) {
    return nameOf(person, person.givenNames.size(), true);
}

std::string yearsText(const Person& person) {
    const bool both = person.birth && person.birth->date && person.death && person.death->date;
    const std::string born = eventText(person.birth, !both);
    const std::string died = eventText(person.death, !both);
    if (!both)
        return born.empty() ? died : born;
    // A part that holds a dash or blank of its own ("1820–22", "c. 1820") is set apart with spaces.
    const bool spaced = born.find(' ') != std::string::npos || died.find(' ') != std::string::npos ||
                        born.find(kEnDash) != std::string::npos || died.find(kEnDash) != std::string::npos;
    return born + (spaced ? std::string(" ") + kEnDash + " " : std::string(kEnDash)) + died;
}

std::string boxText(const Person& person, const BoxTextOptions& options) {
    if (options.hideLiving && isLiving(person, options.todayYear))
        return "Living";
    const std::string years = yearsText(person);
    auto compose = [&](std::size_t givenKept, bool withSuffix) {
        std::string text = nameOf(person, givenKept, withSuffix);
        if (!years.empty()) {
            text.reserve(text.size() + years.size() + 3);
            text += text.empty() ? "(" : " (";
            text += years;
            text += ')';
        }
        return text;
    };
    std::size_t given = person.givenNames.size();
    bool suffix = true;
    std::string text = compose(given, suffix);
    if (!options.fits)
        return text;
    while (!options.fits(text)) {
        if (given > 1) {
            --given;  // drop the last middle name still shown
        } else if (suffix && !person.suffix.empty()) {
            suffix = false;
        } else {
            break;
        }
        text = compose(given, suffix);
    }
    return text;
}

std::string foldForSearch(std::string_view text) {
    const std::u16string w = wide(text);
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* nfd = unorm2_getNFDInstance(&status);
    if (U_FAILURE(status))
        return std::string(text);
    std::u16string decomposed(w.size() * 4 + 4, u'\0');
    int32_t length = unorm2_normalize(nfd, w.data(), static_cast<int32_t>(w.size()), decomposed.data(),
                                      static_cast<int32_t>(decomposed.size()), &status);
    if (U_FAILURE(status))
        return std::string(text);
    decomposed.resize(static_cast<std::size_t>(length));
    std::u16string folded(decomposed.size() * 3 + 4, u'\0');
    status = U_ZERO_ERROR;
    length = u_strFoldCase(folded.data(), static_cast<int32_t>(folded.size()), decomposed.data(),
                           static_cast<int32_t>(decomposed.size()), U_FOLD_CASE_DEFAULT, &status);
    if (U_FAILURE(status))
        return std::string(text);
    folded.resize(static_cast<std::size_t>(length));
    std::u16string result;
    result.reserve(folded.size());
    bool blank = false;
    for (int32_t i = 0; i < length;) {
        UChar32 c;
        U16_NEXT(folded.data(), i, length, c);
        if (u_getCombiningClass(c) != 0 || u_charType(c) == U_NON_SPACING_MARK)
            continue;  // accents
        if (u_isUWhiteSpace(c)) {
            blank = !result.empty();
            continue;
        }
        if (blank)
            result.push_back(u' ');
        blank = false;
        if (c > 0xFFFF) {
            result.push_back(U16_LEAD(c));
            result.push_back(U16_TRAIL(c));
        } else {
            result.push_back(static_cast<char16_t>(c));
        }
    }
    // Letters that do not decompose but are read as plain ones: ø, ł, đ, æ and the like stay as they are.
    return detail::toNfc(narrow(result));
}

std::vector<PersonIndex> findPeople(const FamilyFile& file, std::string_view ref,
                                    std::vector<PersonIndex>* partial) {
    std::vector<PersonIndex> found;
    if (const auto byId = file.find(ref)) {
        found.push_back(*byId);
        return found;
    }
    const std::string wanted = foldForSearch(ref);
    if (wanted.empty())
        return found;
    std::vector<PersonIndex> near;
    for (std::size_t i = 0; i < file.people.size(); ++i) {
        const std::string name = foldForSearch(displayName(file.people[i]));
        if (name == wanted)
            found.push_back(static_cast<PersonIndex>(i));
        else if (partial != nullptr && name.find(wanted) != std::string::npos)
            near.push_back(static_cast<PersonIndex>(i));
    }
    if (found.empty() && partial != nullptr)
        *partial = std::move(near);
    return found;
}

}  // namespace rw::family

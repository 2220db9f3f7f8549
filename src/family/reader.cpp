#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "family/dates.h"
#include "family/decode.h"
#include "family/family.h"

namespace rw::family {
namespace {

using detail::parseDate;
using detail::toNfc;
using detail::trimBlanks;

constexpr std::size_t kMaxWarnings = 1000;

// "@@" stands for one "@" in a value.
std::string unescape(std::string_view s) {
    std::string r;
    r.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        r.push_back(s[i]);
        if (s[i] == '@' && i + 1 < s.size() && s[i + 1] == '@')
            ++i;
    }
    return r;
}

// A pointer value "@I1@" without its @s; empty when the value is no pointer.
std::string_view pointer(std::string_view value) {
    value = trimBlanks(value);
    if (value.size() < 3 || value.front() != '@' || value.back() != '@')
        return {};
    return value.substr(1, value.size() - 2);
}

struct Line {
    int level = 0;
    std::string_view tag;
    std::string_view value;
    int extended = -1;  // index into Parser::extended when CONC / CONT lengthened the value
    std::size_t number = 0;
};

struct ChildLink {
    std::string_view child;
    bool fatherByBirth = true;  // _FREL under the CHIL is not Step, Adopted or Foster
    bool motherByBirth = true;
    std::size_t line = 0;
};

// Record ids to indexes: open addressing over views into the text, which lives as long as the reader.
class IdTable {
  public:
    void reserve(std::size_t n) {
        if (2 * n + 16 > slots_.size())
            rehash(2 * n + 16);
    }
    // The index stored for `key`, after storing `value` there when the key is new; second: it was new.
    std::pair<std::int32_t, bool> insert(std::string_view key, std::int32_t value) {
        if (2 * (used_ + 1) > slots_.size())
            rehash(2 * slots_.size() + 16);
        const std::uint32_t h = hash(key);
        for (std::size_t i = h & mask_;; i = (i + 1) & mask_) {
            Slot& slot = slots_[i];
            if (slot.value < 0) {
                slot = {key.data(), static_cast<std::uint32_t>(key.size()), h, value};
                ++used_;
                return {value, true};
            }
            if (slot.hash == h && std::string_view(slot.data, slot.size) == key)
                return {slot.value, false};
        }
    }
    std::int32_t find(std::string_view key) const {
        if (slots_.empty())
            return -1;
        const std::uint32_t h = hash(key);
        for (std::size_t i = h & mask_;; i = (i + 1) & mask_) {
            const Slot& slot = slots_[i];
            if (slot.value < 0)
                return -1;
            if (slot.hash == h && std::string_view(slot.data, slot.size) == key)
                return slot.value;
        }
    }

  private:
    struct Slot {
        const char* data = nullptr;
        std::uint32_t size = 0;
        std::uint32_t hash = 0;
        std::int32_t value = -1;
    };
    static std::uint32_t hash(std::string_view key) {
        std::uint32_t h = 2166136261u;  // FNV-1a
        for (const char c : key)
            h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
        return h;
    }
    void rehash(std::size_t atLeast) {
        std::size_t size = 16;
        while (size < atLeast)
            size *= 2;
        std::vector<Slot> old(size);
        old.swap(slots_);
        mask_ = size - 1;
        for (const Slot& slot : old) {
            if (slot.value < 0)
                continue;
            std::size_t i = slot.hash & mask_;
            while (slots_[i].value >= 0)
                i = (i + 1) & mask_;
            slots_[i] = slot;
        }
    }
    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
    std::size_t used_ = 0;
};

struct FamilyRecord {
    std::string_view husband;
    std::string_view wife;
    std::size_t husbandLine = 0;
    std::size_t wifeLine = 0;
    std::uint32_t firstChild = 0;  // into Parser::children_
    std::uint32_t childCount = 0;
};

struct FamcLink {
    PersonIndex person = kNoPerson;
    std::string_view family;
    bool byBirth = true;  // PEDI birth or absent
    std::size_t line = 0;
};

struct Candidate {
    Event event;
    bool dated() const { return event.date.has_value(); }
};

bool relationIsBirth(std::string_view value) {
    std::string v(trimBlanks(value));
    for (char& c : v)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return !(v == "step" || v == "adopted" || v == "foster");
}

bool pediIsBirth(std::string_view value) {
    std::string v(trimBlanks(value));
    for (char& c : v)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return v.empty() || v == "birth";
}

class Parser {
  public:
    // ownIds: the text is handed over piece by piece and does not outlive a piece, so the record ids kept
    // for the end are copied.
    Parser(FamilyFile& out, const Progress& progress, bool ownIds)
        : out_(out), progress_(progress), ownIds_(ownIds) {}

    // Sizes every table once, so that nothing grows by copying while the file is read.
    void reserve(std::size_t people, std::size_t families) {
        out_.people.reserve(people);
        personIds_.reserve(people);
        famc_.reserve(people);
        children_.reserve(people);
        families_.reserve(families);
        familyIds_.reserve(families);
    }

    // Reads whole records (the piece ends where a record ends, or the file does). `done` counts the bytes
    // before this piece, for progress.
    void feed(std::string_view text, std::uint64_t done, std::uint64_t total) {
        std::size_t pos = 0;
        std::size_t nextReport = kReportEvery;
        const std::size_t size = text.size();
        while (pos < size) {
            std::size_t end = pos;
            while (end < size && text[end] != '\n' && text[end] != '\r')
                ++end;
            ++lineNumber_;
            parseLine(text.substr(pos, end - pos), lineNumber_, previousLevel_);
            pos = end;
            if (pos < size && text[pos] == '\r')
                ++pos;
            if (pos < size && text[pos] == '\n')
                ++pos;
            if (progress_ && pos >= nextReport) {
                nextReport = pos + kReportEvery;
                if (!progress_(std::min<std::uint64_t>(done + pos, total), total))
                    throw Cancelled("Reading the family file was cancelled.");
            }
        }
        finishRecord();
    }

    void finish(std::uint64_t total) {
        resolve();
        if (progress_ && !progress_(total, total))
            throw Cancelled("Reading the family file was cancelled.");
    }

  private:
    static constexpr std::size_t kReportEvery = 1 << 20;

    // A record id or pointer that must outlive the piece of text it came from.
    std::string_view keep(std::string_view id) {
        if (!ownIds_ || id.empty())
            return id;
        if (id.size() > kPoolBlock - poolUsed_ || pool_.empty()) {
            pool_.push_back(std::make_unique<char[]>(std::max(kPoolBlock, id.size())));
            poolUsed_ = 0;
        }
        char* at = pool_.back().get() + poolUsed_;
        std::copy(id.begin(), id.end(), at);
        poolUsed_ += id.size();
        return {at, id.size()};
    }
    static constexpr std::size_t kPoolBlock = 1 << 16;

    static bool wanted(int level, std::string_view tag) {
        static constexpr std::string_view first[] = {"NAME", "SEX",  "BIRT", "CHR",  "BAPM", "DEAT",
                                                     "BURI", "FAMC", "HUSB", "WIFE", "CHIL"};
        static constexpr std::string_view second[] = {"GIVN", "SURN", "NSFX",  "DATE",
                                                      "PLAC", "PEDI", "_FREL", "_MREL"};
        if (level == 1)
            return std::find(std::begin(first), std::end(first), tag) != std::end(first);
        if (level == 2)
            return std::find(std::begin(second), std::end(second), tag) != std::end(second);
        return false;
    }

    void warn(std::size_t line, std::string message) {
        if (out_.warnings.size() < kMaxWarnings) {
            out_.warnings.push_back({line, std::move(message)});
        } else if (out_.warnings.size() == kMaxWarnings) {
            out_.warnings.push_back({0, "There are more warnings; only the first " +
                                            std::to_string(kMaxWarnings) + " are listed."});
        }
    }

    void parseLine(std::string_view raw, std::size_t number, int& previousLevel) {
        std::size_t i = 0;
        while (i < raw.size() && (raw[i] == ' ' || raw[i] == '\t'))
            ++i;
        if (i == raw.size())
            return;  // a blank line
        int level = 0;
        std::size_t digits = 0;
        while (i < raw.size() && raw[i] >= '0' && raw[i] <= '9') {
            if (digits < 3)
                level = level * 10 + (raw[i] - '0');
            ++digits;
            ++i;
        }
        if (digits == 0 || digits > 2 || i == raw.size() || (raw[i] != ' ' && raw[i] != '\t')) {
            warn(number, "This line is not a family-file line; it is skipped.");
            return;
        }
        while (i < raw.size() && (raw[i] == ' ' || raw[i] == '\t'))
            ++i;
        std::string_view xref;
        if (i < raw.size() && raw[i] == '@') {
            const std::size_t close = raw.find('@', i + 1);
            if (close == std::string_view::npos) {
                warn(number, "This line has an unfinished record id; it is skipped.");
                return;
            }
            xref = raw.substr(i + 1, close - i - 1);
            i = close + 1;
            while (i < raw.size() && (raw[i] == ' ' || raw[i] == '\t'))
                ++i;
        }
        std::size_t tagEnd = i;
        while (tagEnd < raw.size() && raw[tagEnd] != ' ' && raw[tagEnd] != '\t')
            ++tagEnd;
        const std::string_view tag = raw.substr(i, tagEnd - i);
        if (tag.empty()) {
            warn(number, "This line has no tag; it is skipped.");
            return;
        }
        std::string_view value;
        if (tagEnd < raw.size())
            value = raw.substr(tagEnd + 1);

        if (previousLevel < 0 && level != 0) {
            warn(number, "This line belongs to no record; it is skipped.");
            return;
        }
        if (level > previousLevel + 1) {
            warn(number, "The level jumps from " + std::to_string(previousLevel) + " to " +
                             std::to_string(level) + "; the line is read as level " +
                             std::to_string(previousLevel + 1) + ".");
            level = previousLevel + 1;
        }
        if (level == 0) {
            finishRecord();
            previousLevel = 0;
            dropBelow_ = -1;
            if (tag == "INDI" || tag == "FAM") {
                if (xref.empty()) {
                    warn(number, "This record has no id; it is skipped.");
                    skipping_ = true;
                    return;
                }
                skipping_ = false;
                lines_.push_back({0, tag, xref, -1, number});
            } else {
                skipping_ = true;  // header, sources, notes and the rest: not needed for the chart
            }
            return;
        }
        previousLevel = level;
        if (skipping_)
            return;
        // Only what the chart needs is kept; a line left out takes the lines below it along (notes, sources
        // and the like may be long).
        if (dropBelow_ >= 0 && level > dropBelow_)
            return;
        dropBelow_ = -1;
        const bool continuation = tag == "CONC" || tag == "CONT";
        if (!continuation && !wanted(level, tag)) {
            dropBelow_ = level;
            return;
        }
        if (continuation) {
            // Lengthens the value of the last line one level up.
            for (auto it = lines_.rbegin(); it != lines_.rend(); ++it) {
                if (it->level < level - 1)
                    break;
                if (it->level == level - 1) {
                    if (it->extended < 0) {
                        it->extended = static_cast<int>(extended_.size());
                        extended_.emplace_back(it->value);
                    }
                    std::string& text = extended_[static_cast<std::size_t>(it->extended)];
                    if (tag == "CONT")
                        text.push_back('\n');
                    text.append(value);
                    break;
                }
            }
            return;
        }
        lines_.push_back({level, tag, value, -1, number});
    }

    std::string_view valueOf(const Line& line) const {
        return line.extended < 0 ? line.value
                                 : std::string_view(extended_[static_cast<std::size_t>(line.extended)]);
    }

    void finishRecord() {
        if (!lines_.empty()) {
            if (lines_[0].tag == "INDI")
                finishPerson();
            else
                finishFamily();
        }
        lines_.clear();
        extended_.clear();
    }

    void finishPerson() {
        const Line& head = lines_[0];
        const auto index = static_cast<PersonIndex>(out_.people.size());
        if (!personIds_.insert(keep(head.value), index).second) {
            warn(head.number,
                 "The person " + std::string(head.value) + " is defined twice; the second is ignored.");
            return;
        }
        Person person;
        person.id = std::string(head.value);
        person.line = head.number;

        std::vector<Candidate> births;
        std::vector<Candidate> deaths;
        std::vector<Candidate>* events = nullptr;  // the list the current event is the last of
        bool haveName = false;
        bool inFirstName = false;
        bool nameHasSurname = false;
        std::string_view givn;
        std::string_view surn;
        std::string_view nsfx;
        bool inFamc = false;
        for (std::size_t i = 1; i < lines_.size(); ++i) {
            const Line& line = lines_[i];
            if (line.level == 1) {
                events = nullptr;
                inFamc = false;
                inFirstName = false;
                if (line.tag == "NAME") {
                    if (!haveName) {
                        haveName = true;
                        inFirstName = true;
                        nameHasSurname = readName(valueOf(line), person);
                    }
                } else if (line.tag == "SEX") {
                    const std::string_view s = trimBlanks(line.value);
                    person.sex = s == "M" ? Sex::Male : s == "F" ? Sex::Female : Sex::Unknown;
                } else if (line.tag == "BIRT" || line.tag == "CHR" || line.tag == "BAPM") {
                    births.push_back(
                        {{line.tag == "BIRT" ? Event::Kind::Birth : Event::Kind::Christening, {}, {}}});
                    events = &births;
                } else if (line.tag == "DEAT" || line.tag == "BURI") {
                    person.hasDeathRecord = true;
                    deaths.push_back(
                        {{line.tag == "DEAT" ? Event::Kind::Death : Event::Kind::Burial, {}, {}}});
                    events = &deaths;
                } else if (line.tag == "FAMC") {
                    const std::string_view family = pointer(line.value);
                    if (family.empty()) {
                        warn(line.number, "FAMC does not point to a family; it is ignored.");
                    } else if (family != "VOID") {
                        famc_.push_back({index, keep(family), true, line.number});
                        inFamc = true;
                    }
                }
            } else if (line.level == 2) {
                if (inFirstName) {
                    if (line.tag == "GIVN")
                        givn = valueOf(line);
                    else if (line.tag == "SURN")
                        surn = valueOf(line);
                    else if (line.tag == "NSFX")
                        nsfx = valueOf(line);
                } else if (events != nullptr) {
                    Candidate* event = &events->back();
                    if (line.tag == "DATE" && !event->event.date) {
                        Date date = parseDate(unescape(valueOf(line)));
                        if (!date.text.empty())
                            event->event.date = std::move(date);
                    } else if (line.tag == "PLAC" && event->event.place.empty()) {
                        event->event.place = toNfc(unescape(trimBlanks(valueOf(line))));
                    }
                } else if (inFamc && line.tag == "PEDI") {
                    famc_.back().byBirth = pediIsBirth(line.value);
                }
            }
        }
        if (haveName && !nameHasSurname) {
            // The NAME has no /surname/: the parts given separately fill in.
            if (!surn.empty())
                person.surname = toNfc(unescape(trimBlanks(surn)));
            if (!givn.empty()) {
                person.givenNames.clear();
                splitGiven(toNfc(unescape(givn)), person.givenNames);
            }
            if (!nsfx.empty() && person.suffix.empty())
                person.suffix = toNfc(unescape(trimBlanks(nsfx)));
        }
        person.birth = choose(births);
        person.death = choose(deaths);
        out_.people.push_back(std::move(person));
    }

    // The first dated event; else the first dated one of the second kind; else the first undated.
    static std::optional<Event> choose(const std::vector<Candidate>& candidates) {
        if (candidates.empty())
            return std::nullopt;
        const Event::Kind primary = candidates[0].event.kind == Event::Kind::Birth ||
                                            candidates[0].event.kind == Event::Kind::Christening
                                        ? Event::Kind::Birth
                                        : Event::Kind::Death;
        for (const auto& c : candidates)
            if (c.dated() && c.event.kind == primary)
                return c.event;
        for (const auto& c : candidates)
            if (c.dated())
                return c.event;
        for (const auto& c : candidates)
            if (c.event.kind == primary)
                return c.event;
        return candidates[0].event;
    }

    static void splitGiven(std::string_view given, std::vector<std::string>& out) {
        std::size_t pos = 0;
        while (pos < given.size()) {
            while (pos < given.size() && (given[pos] == ' ' || given[pos] == '\t' || given[pos] == '\n'))
                ++pos;
            std::size_t end = pos;
            while (end < given.size() && given[end] != ' ' && given[end] != '\t' && given[end] != '\n')
                ++end;
            if (end > pos)
                out.emplace_back(given.substr(pos, end - pos));
            pos = end;
        }
    }

    // "John William /Smith/ Jr.": given names, surname between slashes, suffix after. Returns whether the
    // name had a surname part (slashes).
    static bool readName(std::string_view raw, Person& person) {
        const std::string value = toNfc(unescape(raw));
        const std::size_t open = value.find('/');
        if (open == std::string::npos) {
            splitGiven(value, person.givenNames);
            return false;
        }
        std::size_t close = value.find('/', open + 1);
        if (close == std::string::npos)
            close = value.size();
        splitGiven(std::string_view(value).substr(0, open), person.givenNames);
        person.surname = std::string(trimBlanks(std::string_view(value).substr(open + 1, close - open - 1)));
        if (close < value.size())
            person.suffix = std::string(trimBlanks(std::string_view(value).substr(close + 1)));
        return true;
    }

    void finishFamily() {
        const Line& head = lines_[0];
        if (!familyIds_.insert(keep(head.value), static_cast<std::int32_t>(families_.size())).second) {
            warn(head.number,
                 "The family " + std::string(head.value) + " is defined twice; the second is ignored.");
            return;
        }
        FamilyRecord family;
        family.firstChild = static_cast<std::uint32_t>(children_.size());
        bool inChild = false;
        for (std::size_t i = 1; i < lines_.size(); ++i) {
            const Line& line = lines_[i];
            if (line.level == 1) {
                inChild = false;
                if (line.tag == "HUSB" || line.tag == "WIFE") {
                    std::string_view& slot = line.tag == "HUSB" ? family.husband : family.wife;
                    const std::string_view target = pointer(line.value);
                    if (target.empty()) {
                        warn(line.number,
                             std::string(line.tag) + " does not point to a person; it is ignored.");
                    } else if (target != "VOID" && slot.empty()) {
                        slot = keep(target);
                        (line.tag == "HUSB" ? family.husbandLine : family.wifeLine) = line.number;
                    }
                } else if (line.tag == "CHIL") {
                    const std::string_view target = pointer(line.value);
                    if (target.empty()) {
                        warn(line.number, "CHIL does not point to a person; it is ignored.");
                    } else if (target != "VOID") {
                        children_.push_back({keep(target), true, true, line.number});
                        ++family.childCount;
                        inChild = true;
                    }
                }
            } else if (line.level == 2 && inChild) {
                if (line.tag == "_FREL")
                    children_.back().fatherByBirth = relationIsBirth(line.value);
                else if (line.tag == "_MREL")
                    children_.back().motherByBirth = relationIsBirth(line.value);
            }
        }
        families_.push_back(std::move(family));
    }

    PersonIndex personAt(std::string_view id, std::size_t line) {
        const std::int32_t found = personIds_.find(id);
        if (found >= 0)
            return found;
        warn(line, "@" + std::string(id) + "@ points to no person; it is ignored.");
        return kNoPerson;
    }

    // Father and mother by birth: for each, the first family whose link to the child is a birth link (the
    // child's own FAMC links in their order, then families that list the child without one).
    void resolve() {
        struct Link {
            PersonIndex person;
            std::uint32_t family;
            std::uint32_t child;  // index into children_
        };
        std::vector<Link> listed;
        std::vector<PersonIndex> husbands(families_.size(), kNoPerson);
        std::vector<PersonIndex> wives(families_.size(), kNoPerson);
        for (std::size_t f = 0; f < families_.size(); ++f) {
            const FamilyRecord& family = families_[f];
            if (!family.husband.empty())
                husbands[f] = personAt(family.husband, family.husbandLine);
            if (!family.wife.empty())
                wives[f] = personAt(family.wife, family.wifeLine);
            for (std::uint32_t c = family.firstChild; c < family.firstChild + family.childCount; ++c) {
                const PersonIndex p = personAt(children_[c].child, children_[c].line);
                if (p != kNoPerson)
                    listed.push_back({p, static_cast<std::uint32_t>(f), static_cast<std::uint32_t>(c)});
            }
        }
        std::stable_sort(listed.begin(), listed.end(),
                         [](const Link& a, const Link& b) { return a.person < b.person; });
        std::vector<FamcLink> famc;
        famc.swap(famc_);
        std::stable_sort(famc.begin(), famc.end(),
                         [](const FamcLink& a, const FamcLink& b) { return a.person < b.person; });

        std::size_t li = 0;
        std::size_t fi = 0;
        std::vector<std::pair<std::uint32_t, bool>> order;  // family, PEDI by birth
        for (PersonIndex p = 0; p < static_cast<PersonIndex>(out_.people.size()); ++p) {
            const std::size_t listedBegin = li;
            while (li < listed.size() && listed[li].person == p)
                ++li;
            order.clear();
            for (; fi < famc.size() && famc[fi].person == p; ++fi) {
                const std::int32_t found = familyIds_.find(famc[fi].family);
                if (found < 0) {
                    warn(famc[fi].line,
                         "@" + std::string(famc[fi].family) + "@ points to no family; it is ignored.");
                    continue;
                }
                order.emplace_back(static_cast<std::uint32_t>(found), famc[fi].byBirth);
            }
            for (std::size_t k = listedBegin; k < li; ++k) {
                bool known = false;
                for (const auto& o : order)
                    known = known || o.first == listed[k].family;
                if (!known)
                    order.emplace_back(listed[k].family, true);
            }
            Person& person = out_.people[static_cast<std::size_t>(p)];
            bool fatherDecided = false;
            bool motherDecided = false;
            for (const auto& [f, pediBirth] : order) {
                if (!pediBirth)
                    continue;
                bool fatherBirth = true;
                bool motherBirth = true;
                for (std::size_t k = listedBegin; k < li; ++k) {
                    if (listed[k].family != f)
                        continue;
                    const ChildLink& link = children_[listed[k].child];
                    fatherBirth = link.fatherByBirth;
                    motherBirth = link.motherByBirth;
                    break;
                }
                if (!fatherDecided && fatherBirth) {
                    person.father = husbands[f];
                    fatherDecided = true;
                }
                if (!motherDecided && motherBirth) {
                    person.mother = wives[f];
                    motherDecided = true;
                }
                if (fatherDecided && motherDecided)
                    break;
            }
        }
        out_.byId.resize(out_.people.size());
        for (std::size_t i = 0; i < out_.byId.size(); ++i)
            out_.byId[i] = static_cast<PersonIndex>(i);
        std::sort(out_.byId.begin(), out_.byId.end(), [&](PersonIndex a, PersonIndex b) {
            return out_.people[static_cast<std::size_t>(a)].id < out_.people[static_cast<std::size_t>(b)].id;
        });
    }

    FamilyFile& out_;
    const Progress& progress_;
    bool ownIds_ = false;
    std::vector<std::unique_ptr<char[]>> pool_;
    std::size_t poolUsed_ = 0;
    std::size_t lineNumber_ = 0;
    int previousLevel_ = -1;
    int dropBelow_ = -1;  // lines deeper than this are left out; -1: none
    std::vector<Line> lines_;
    std::vector<std::string> extended_;
    bool skipping_ = true;
    IdTable personIds_;
    IdTable familyIds_;
    std::vector<ChildLink> children_;
    std::vector<FamilyRecord> families_;
    std::vector<FamcLink> famc_;
};

}  // namespace

std::size_t countOf(std::string_view text, std::string_view needle) {
    std::size_t n = 0;
    for (std::size_t pos = text.find(needle); pos != std::string_view::npos; pos = text.find(needle, pos + 1))
        ++n;
    return n;
}

FamilyFile readFamilyBytes(std::string_view bytes, const Progress& progress) {
    FamilyFile file;
    detail::Decoded decoded = detail::decode(bytes, file.warnings);
    file.encoding = decoded.encoding;
    file.version = decoded.version;
    const std::string_view text =
        decoded.usesInput ? bytes.substr(decoded.skip) : std::string_view(decoded.text);
    Parser parser(file, progress, false);
    parser.reserve(countOf(text, "@ INDI"), countOf(text, "@ FAM"));
    parser.feed(text, 0, text.size());
    parser.finish(text.size());
    if (file.people.empty())
        throw ReadError("The file holds no person.");
    return file;
}

namespace detail {

namespace {

// Where the last record in `text` begins (the start of its level-0 line), or 0 when none begins after
// `from` (the text before it was searched already: a record far longer than a piece costs no second look).
std::size_t lastRecordStart(std::string_view text, std::size_t from) {
    for (std::size_t p = text.size(); p > from; --p) {
        if (text[p - 1] != '\n' && text[p - 1] != '\r')
            continue;
        std::size_t q = p;
        while (q < text.size() && (text[q] == ' ' || text[q] == '\t'))
            ++q;
        if (q + 1 < text.size() && text[q] == '0' && (text[q + 1] == ' ' || text[q + 1] == '\t'))
            return p;
    }
    return 0;
}

// Where the raw bytes may be cut: just after the last line end (UTF-16: after a whole line-feed unit), or 0
// when there is none after `from`.
std::size_t lastLineEnd(std::string_view raw, Charset charset, std::size_t from) {
    if (charset == Charset::Utf16LE || charset == Charset::Utf16BE) {
        for (std::size_t p = raw.size() & ~std::size_t{1}; p >= 2 && p > from; p -= 2) {
            const char a = raw[p - 2];
            const char b = raw[p - 1];
            if (charset == Charset::Utf16LE ? (a == '\n' && b == '\0') : (a == '\0' && b == '\n'))
                return p;
        }
        return 0;
    }
    if (from >= raw.size())
        return 0;
    const std::size_t p = raw.substr(from).find_last_of("\r\n");
    return p == std::string_view::npos ? 0 : from + p + 1;
}

class Restart {};  // invalid UTF-8 met: read again as Windows-1252

void readPieces(std::FILE* f, std::uint64_t size, const Plan& plan, FamilyFile& file,
                const Progress& progress) {
    // Pieces of 1 MB; a small file needs no more than its size (and a little, to see its end).
    const std::size_t kBlock = static_cast<std::size_t>(std::clamp<std::uint64_t>(size + 1, 4096, 1 << 20));
    if (std::fseek(f, static_cast<long>(plan.skip), SEEK_SET) != 0)
        throw ReadError("it could not be read again");
    // A first pass only counts the records, so that every table is sized once (not for UTF-16, whose
    // bytes the count cannot see).
    std::size_t people = 0;
    std::size_t families = 0;
    std::string raw;
    raw.resize(kBlock + 8);
    if (plan.charset != Charset::Utf16LE && plan.charset != Charset::Utf16BE) {
        std::size_t carry = 0;
        for (;;) {
            const std::size_t n = std::fread(raw.data() + carry, 1, kBlock, f);
            const std::string_view view(raw.data(), carry + n);
            people += countOf(view, "@ INDI");
            families += countOf(view, "@ FAM");
            if (n < kBlock)
                break;
            carry = std::min<std::size_t>(5, view.size());  // a word cut at the end is counted once
            std::copy(view.end() - static_cast<std::ptrdiff_t>(carry), view.end(), raw.data());
            people -= countOf(std::string_view(raw.data(), carry), "@ INDI");
            families -= countOf(std::string_view(raw.data(), carry), "@ FAM");
        }
        if (std::fseek(f, static_cast<long>(plan.skip), SEEK_SET) != 0)
            throw ReadError("it could not be read again");
    }
    Parser parser(file, progress, true);
    parser.reserve(people, families);
    std::string pending;  // raw bytes not yet decoded
    std::string text;     // decoded text not yet parsed (the start of a record)
    std::uint64_t done = 0;
    std::vector<char> block(kBlock);
    for (;;) {
        const std::size_t n = std::fread(block.data(), 1, block.size(), f);
        if (n < block.size() && std::ferror(f))
            throw ReadError(std::strerror(errno));
        const std::size_t pendingBefore = pending.size();  // holds no line end
        pending.append(block.data(), n);
        const bool last = n < block.size();
        std::size_t cut =
            last ? pending.size() : lastLineEnd(pending, plan.charset, pendingBefore & ~std::size_t{1});
        if (last && (plan.charset == Charset::Utf16LE || plan.charset == Charset::Utf16BE) && cut % 2 != 0) {
            file.warnings.push_back({0, "The file ends in half a character; the last byte is ignored."});
            --cut;
        }
        const std::size_t textBefore = text.size();  // holds no record start but its first
        if (cut > 0) {
            if (!decodeInto(plan.charset, std::string_view(pending).substr(0, cut), text))
                throw Restart();
            pending.erase(0, cut);
        }
        const std::size_t recordCut =
            last ? text.size() : lastRecordStart(text, textBefore > 256 ? textBefore - 256 : 0);
        if (recordCut > 0) {
            parser.feed(std::string_view(text).substr(0, recordCut), done, size);
            done += recordCut;
            text.erase(0, recordCut);
        }
        if (last)
            break;
    }
    parser.finish(size);
}

}  // namespace

FamilyFile readFamilyStream(std::FILE* f, std::uint64_t size, const Progress& progress) {
    std::string head(static_cast<std::size_t>(std::clamp<std::uint64_t>(size + 1, 4096, kHeadBytes)), '\0');
    head.resize(std::fread(head.data(), 1, head.size(), f));
    FamilyFile file;
    Plan p = plan(head, file.warnings);
    const std::vector<Warning> planWarnings = file.warnings;
    try {
        readPieces(f, size, p, file, progress);
    } catch (const Restart&) {
        file = FamilyFile{};
        file.warnings = planWarnings;
        fallBackToWindows1252(p, file.warnings);
        readPieces(f, size, p, file, progress);
    }
    file.encoding = p.encoding;
    file.version = p.version;
    if (file.people.empty())
        throw ReadError("The file holds no person.");
    return file;
}

}  // namespace detail

}  // namespace rw::family

namespace rw::family {

std::optional<PersonIndex> FamilyFile::find(std::string_view id) const {
    if (id.size() >= 2 && id.front() == '@' && id.back() == '@')
        id = id.substr(1, id.size() - 2);
    const auto it = std::lower_bound(byId.begin(), byId.end(), id, [&](PersonIndex p, std::string_view key) {
        return people[static_cast<std::size_t>(p)].id < key;
    });
    if (it == byId.end() || people[static_cast<std::size_t>(*it)].id != id)
        return std::nullopt;
    return *it;
}

}  // namespace rw::family

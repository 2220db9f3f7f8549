#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/failure.h"

// A family file (GEDCOM 5.5, 5.5.1, 5.5.5 or 7.0) as the chart needs it: people with their first name,
// birth and death, and for each person the father and mother by birth. Plain C++20, no Qt; it knows nothing
// of the spreadsheet (the chart joins the two).
namespace rw::family {

// A date as genealogists write it. `text` is the date exactly as the file has it (after decoding); the rest
// is what could be read of it. A date that could not be read has readable == false and is shown as written.
struct Date {
    enum class Qualifier : std::uint8_t {
        Exact,   // 1820, 12 MAR 1820
        About,   // ABT, CAL, EST: "c. 1820"
        Before,  // BEF: "bef. 1820"
        After,   // AFT: "aft. 1820"
        Range,   // BET .. AND, FROM .. TO: "1820–22"
    };
    std::string text;
    bool readable = false;
    Qualifier qualifier = Qualifier::Exact;
    int year = 0;      // the (first) year
    int endYear = 0;   // the second year of a range; 0 when none
    int dualYear = 0;  // the second year of a dual year (1750/51 gives 1751); 0 when none
    friend bool operator==(const Date&, const Date&) = default;
};

struct Event {
    enum class Kind : std::uint8_t { Birth, Christening, Death, Burial };
    Kind kind = Kind::Birth;
    std::optional<Date> date;  // none when the event has no DATE
    std::string place;
    friend bool operator==(const Event&, const Event&) = default;
};

enum class Sex : std::uint8_t { Unknown, Male, Female };

using PersonIndex = std::int32_t;  // index into FamilyFile::people
inline constexpr PersonIndex kNoPerson = -1;

struct Person {
    std::string id;                       // the record id without its @s ("I12")
    std::vector<std::string> givenNames;  // in order, NFC UTF-8
    std::string surname;                  // may be empty
    std::string suffix;                   // "Jr.", "III"; may be empty
    Sex sex = Sex::Unknown;
    // The first dated birth, else christening or baptism; the first dated death, else burial. Kind says
    // which was used. An event the file has but without a date still counts for "has a death record".
    std::optional<Event> birth;
    std::optional<Event> death;
    bool hasDeathRecord = false;     // any DEAT or BURI record, dated or not
    PersonIndex father = kNoPerson;  // by birth (PEDI, _FREL/_MREL), see readFamilyFile
    PersonIndex mother = kNoPerson;
    std::size_t line = 0;  // the line of the record, for warnings
};

struct Warning {
    std::size_t line = 0;  // 1-based; 0 when it concerns the whole file
    std::string message;
};

struct FamilyFile {
    std::vector<Person> people;
    std::vector<Warning> warnings;
    std::string encoding;  // what the file was read as: "UTF-8", "UTF-16LE", "ANSEL", "Windows-1252", ...
    std::string version;   // GEDC.VERS as found ("5.5.1", "7.0"), empty when absent
    std::optional<PersonIndex> find(std::string_view id) const;  // by record id, with or without @s
    std::vector<PersonIndex> byId;                               // people ordered by record id, for find()
};

// A file that cannot be read or holds no person. description() is a short, complete sentence.
class ReadError : public Failure {
  public:
    using Failure::Failure;
};

// Progress and cancellation for a long read: called now and then with bytes done and bytes in all; return
// false to stop (readFamilyFile then throws Cancelled).
using Progress = std::function<bool(std::uint64_t done, std::uint64_t total)>;
class Cancelled : public Failure {
  public:
    using Failure::Failure;
};

// Reads the whole file at once into memory (so a file changed while it is read gives no crash) and decodes
// it. Throws ReadError for a file that cannot be read or has no person; everything else is a warning.
FamilyFile readFamilyFile(const std::filesystem::path& path, const Progress& progress = {});
FamilyFile readFamilyBytes(std::string_view bytes, const Progress& progress = {});

// One box of the chart: Ahnentafel number (1 the person, 2a and 2a+1 the father and mother of a) and who is
// in it. A person met again (cousins who married) is listed again with their ancestry; every appearance
// after the first has repeated == true.
struct Appearance {
    std::uint32_t number = 0;
    PersonIndex person = kNoPerson;
    bool repeated = false;
};

// The known ancestors of `root` over `generations` generations (1..15; the person counts as 1), ascending by
// number. A loop in the data (a person who is their own ancestor) stops that line and adds a warning.
std::vector<Appearance> ancestors(const FamilyFile& file, PersonIndex root, int generations,
                                  std::vector<Warning>* warnings = nullptr);

// How many generations are known for `root` (the person alone counts 1), up to `limit`.
int knownDepth(const FamilyFile& file, PersonIndex root, int limit = 15);

// Living: no death or burial record and born within the last 110 years of `todayYear`, or no dates at all.
bool isLiving(const Person& person, int todayYear);

// The box text: "John William Smith (1820–1890)", "John Smith (b. 1820)", "(d. 1890)", "chr. 1820",
// "bur. 1890", "c. 1820", "bef. 1890", "aft. 1890", "1820–22", "1750/51"; a date that cannot be read as
// written. With hideLiving and a living person: "Living". `fits` says whether a text fits the box; middle
// given names are dropped first, then the suffix, while it does not (the first given name and the surname
// are never dropped nor abbreviated). The result may still not fit: the cell then shrinks its text.
struct BoxTextOptions {
    bool hideLiving = false;
    int todayYear = 0;
    std::function<bool(std::string_view)> fits;  // empty: everything fits
};
std::string boxText(const Person& person, const BoxTextOptions& options);

// The name alone ("John William Smith"), and the years alone ("1820–1890"), as the picker lists them.
std::string displayName(const Person& person);
std::string yearsText(const Person& person);

// Text folded for search and comparison: NFC, lower case, accents removed, runs of blanks made one.
std::string foldForSearch(std::string_view text);

// People whose record id is `ref` (with or without @s), or whose whole folded name equals the folded `ref`.
// When none does, `partial` receives those whose folded name contains it.
std::vector<PersonIndex> findPeople(const FamilyFile& file, std::string_view ref,
                                    std::vector<PersonIndex>* partial = nullptr);

}  // namespace rw::family

// libFuzzer target: the family-file reader must take any bytes without a crash, hang or unbounded memory;
// what it reads must then go through everything the chart asks of it, and reading the same bytes as a file
// (piece by piece) must find the same people.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "family/decode.h"
#include "family/family.h"
#include "platform/failure.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace rw::family;
    try {
        const FamilyFile file = readFamilyBytes(std::string_view(reinterpret_cast<const char*>(data), size));
        const PersonIndex root = 0;
        std::vector<Warning> warnings;
        BoxTextOptions options;
        options.hideLiving = true;
        options.todayYear = 2026;
        options.fits = [](std::string_view text) { return text.size() < 24; };
        for (const Appearance& a : ancestors(file, root, 15, &warnings))
            (void)boxText(file.people[static_cast<std::size_t>(a.person)], options);
        (void)knownDepth(file, root);
        (void)findPeople(file, displayName(file.people[0]));
        (void)file.find(file.people.back().id);

        std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(
            fmemopen(const_cast<std::uint8_t*>(data), size, "rb"), &std::fclose);
        if (f) {
            try {
                const FamilyFile again = detail::readFamilyStream(f.get(), size, {});
                if (again.people.size() != file.people.size() || again.encoding != file.encoding)
                    std::abort();
            } catch (const rw::Failure&) {
                std::abort();  // read in memory, refused from a file
            }
        }
    } catch (const rw::Failure&) {
    }
    return 0;
}

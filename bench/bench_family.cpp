// The family-file reader: speed (MB of file per second) and memory (peak heap bytes per byte of file, the
// file's own copy in memory counted) on a generated file that holds a full 15-generation pedigree among
// ordinary records of the shape genealogy programs write.
//   <dir>/bench/bench_family [people [runs]]   (default 100000 people, about 60 MB, and 5 runs; the file is
//   made and removed here)
//   <dir>/bench/bench_family --write FILE [people]   only writes the file (for bench_family_chart.sh)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "counted_heap.h"
#include "family/family.h"

namespace {

// A person every genealogy program would write: name parts, sex, birth and death with places, a note that
// continues over lines, a source citation, the change date. The first 32,767 people form the pedigree of
// person 1 (Ahnentafel numbering); the rest are their own families' children.
void generate(const std::filesystem::path& path, int people) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        std::perror("bench_family");
        std::exit(1);
    }
    constexpr int kPedigree = (1 << 15) - 1;
    std::fputs("0 HEAD\n1 SOUR BENCH\n1 GEDC\n2 VERS 5.5.1\n2 FORM LINEAGE-LINKED\n1 CHAR UTF-8\n", f);
    std::fputs("0 @S1@ SOUR\n1 TITL Parish registers of the county\n", f);
    for (int n = 1; n <= people; ++n) {
        const int year =
            2000 - 25 * (31 - __builtin_clz(static_cast<unsigned>(std::min(n, kPedigree)))) - n % 7;
        std::fprintf(f,
                     "0 @I%d@ INDI\n1 NAME Wilhelmina Augusta%d /Fairweather-Lindqvist/\n2 GIVN Wilhelmina "
                     "Augusta%d\n2 SURN Fairweather-Lindqvist\n1 SEX %c\n1 BIRT\n2 DATE %d MAR %d\n2 PLAC "
                     "Saint Mary Redcliffe, Bristol, Gloucestershire, England\n2 SOUR @S1@\n3 PAGE Baptisms, "
                     "folio %d\n1 DEAT\n2 DATE ABT %d\n2 PLAC Clifton, Bristol, Gloucestershire, England\n"
                     "1 NOTE A note of the kind that runs over lines: lived at the mill house and kept the\n"
                     "2 CONC  ledger of the parish for many years.\n2 CONT A second paragraph.\n",
                     n, n, n, n % 2 == 0 ? 'M' : 'F', 1 + n % 28, year, n % 400, year + 70);
        if (n <= kPedigree / 2 || n > kPedigree)
            std::fprintf(f, "1 FAMC @F%d@\n", n);
        if (n > 1 && n <= kPedigree)
            std::fprintf(f, "1 FAMS @F%d@\n", n / 2);
        std::fputs("1 CHAN\n2 DATE 8 DEC 2026\n3 TIME 12:00:00\n", f);
    }
    for (int n = 1; n <= people; ++n) {
        if (n <= kPedigree / 2) {
            std::fprintf(f, "0 @F%d@ FAM\n1 HUSB @I%d@\n1 WIFE @I%d@\n1 CHIL @I%d@\n1 MARR\n2 DATE 1900\n", n,
                         2 * n, 2 * n + 1, n);
        } else if (n > kPedigree) {
            std::fprintf(f, "0 @F%d@ FAM\n1 HUSB @I%d@\n1 CHIL @I%d@\n2 _FREL Natural\n", n,
                         n - kPedigree / 2, n);
        }
    }
    std::fputs("0 TRLR\n", f);
    std::fclose(f);
}

double cpuSeconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::string(argv[1]) == "--write") {
        generate(argv[2], std::max(argc > 3 ? std::atoi(argv[3]) : 100000, (1 << 15) - 1));
        return 0;
    }
    const int people = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const auto path =
        std::filesystem::temp_directory_path() / ("bench-family-" + std::to_string(people) + ".ged");
    generate(path, std::max(people, (1 << 15) - 1));
    const double size = static_cast<double>(std::filesystem::file_size(path));

    std::vector<double> wall;
    std::vector<double> cpu;
    double perByte = 0;
    for (int run = 0; run < runs; ++run) {
        const std::size_t before = rw::bench::restartHeapPeak();
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = cpuSeconds();
        const rw::family::FamilyFile file = rw::family::readFamilyFile(path);
        cpu.push_back(cpuSeconds() - cpuStart);
        wall.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        perByte = static_cast<double>(rw::bench::peakHeapBytes.load() - before) / size;
        const auto list = rw::family::ancestors(file, *file.find("I1"), 15);
        if (list.size() != (1u << 15) - 1) {
            std::fprintf(stderr, "bench_family: %zu ancestors, not 32767\n", list.size());
            return 1;
        }
    }
    std::filesystem::remove(path);
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf(
        "%d people, file %.1f MB: read %.0f ms wall (%.0f MB/s), %.0f ms CPU (%.0f MB/s), median of %zu; "
        "peak heap %.1f MB = %.2f bytes per byte of file\n",
        std::max(people, (1 << 15) - 1), size / 1e6, wall[wall.size() / 2] * 1000,
        size / wall[wall.size() / 2] / 1e6, cpu[cpu.size() / 2] * 1000, size / cpu[cpu.size() / 2] / 1e6,
        wall.size(), perByte * size / (1024 * 1024), perByte);
    return 0;
}

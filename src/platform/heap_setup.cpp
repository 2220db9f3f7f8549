// The heap of every program and benchmark that links this, set up before anything else runs.
//
// A 15-generation chart makes and frees tens of MB in hundreds of thousands of small pieces, and a large
// workbook read holds a few hundred MB. On the virtual machines we measure on, the first touch of each
// 4 KB page costs several microseconds (about 10 µs: 12,500 page faults were half of a 260 ms click to
// preview), more than the work done in the page. So:
// - large blocks come from the heap too, instead of fresh mappings that are given back on every free and
//   touched again on the next allocation;
// - freed memory stays with the process for the next chart instead of being trimmed away, up to 512 MB
//   (more than the reservation below, which must stay; what a very large family file frees when it is
//   closed goes back to the system);
// - every thread allocates from the one heap: the family file read in the background lands there too,
//   instead of in a heap of its own (37 MB less at the peak of a filled chart from 100,000 people);
// - the first 384 MB of the heap (room for a large family file and a chart) may be backed by transparent
//   huge pages, where the system allows them on request ("madvise" mode, the default of most
//   distributions); elsewhere the request does nothing.
// The reservation is address space only: memory counts once it is touched.
#include <malloc.h>
#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/sanitizer.h"

namespace {

using rw::kAddressSanitizer;

constexpr std::size_t kReserve = std::size_t{384} << 20;
constexpr std::size_t kHugePage = std::size_t{2} << 20;

struct HeapSetup {
    HeapSetup() {
        if (kAddressSanitizer) {
            return;  // the sanitizer's allocator ignores these settings
        }
        mallopt(M_MMAP_THRESHOLD, 512 << 20);
        mallopt(M_TRIM_THRESHOLD, 512 << 20);
        mallopt(M_ARENA_MAX, 1);
        // One block as large as the reservation, taken from the heap and given back at once: the heap's
        // top then spans it, and the part aligned to huge pages is marked for them.
        void* block = std::malloc(kReserve);
        if (block == nullptr) {
            return;  // a limit on the address space: the heap grows as it needs, as usual
        }
        const auto start = reinterpret_cast<std::uintptr_t>(block);
        const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
        const std::uintptr_t last = (start + kReserve) & ~(kHugePage - 1);
        if (last > first) {
            madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
        }
        std::free(block);
    }
};

const HeapSetup setup;

}  // namespace

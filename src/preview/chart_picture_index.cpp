#include "preview/chart_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "preview/svg_subset_reader.h"

// The display list's vertical index: which items a strip of the picture needs.
namespace rw::preview {

void ChartPicture::buildIndex() {
    const int height = std::max(size_.height(), 1);
    const std::size_t buckets = static_cast<std::size_t>(std::ceil(height / kBand));
    auto bandOf = [&](double y) {
        const double b = std::floor(y / kBand);
        if (!(b > 0)) {
            return std::size_t{0};
        }
        return std::min(buckets - 1, static_cast<std::size_t>(std::min(b, 1e12)));
    };
    // Each item is listed once per band it meets. Shapes that run down most of a tall picture would make
    // that lines times bands entries; such a picture goes to Qt's renderer instead (the charts list an item
    // in about one band on average).
    std::uint64_t entries = 0;
    for (const Item& item : items_) {
        const std::size_t from = bandOf(item.box.top());
        const std::size_t to = bandOf(item.box.bottom());
        entries += to >= from ? to - from + 1 : 0;
    }
    if (entries > 16 * static_cast<std::uint64_t>(items_.size()) + buckets) {
        throw Unsupported{};
    }
    bucketStart_.assign(buckets + 1, 0);
    for (const Item& item : items_) {
        for (std::size_t b = bandOf(item.box.top()), e = bandOf(item.box.bottom()); b <= e; ++b) {
            ++bucketStart_[b + 1];
        }
    }
    for (std::size_t b = 0; b < buckets; ++b) {
        bucketStart_[b + 1] += bucketStart_[b];
    }
    bucketItems_.assign(bucketStart_.back(), 0);
    std::vector<std::uint32_t> fill(bucketStart_.begin(), bucketStart_.end() - 1);
    for (std::uint32_t i = 0; i < items_.size(); ++i) {
        const Item& item = items_[i];
        for (std::size_t b = bandOf(item.box.top()), e = bandOf(item.box.bottom()); b <= e; ++b) {
            bucketItems_[fill[b]++] = i;
        }
    }
}

void ChartPicture::visibleItems(const QRectF& area, std::vector<std::uint32_t>& out) const {
    out.clear();
    if (bucketStart_.size() < 2 || area.isEmpty()) {
        return;
    }
    const std::size_t buckets = bucketStart_.size() - 1;
    auto bandOf = [&](double y) {
        const double b = std::floor(y / kBand);
        if (!(b > 0)) {
            return std::size_t{0};
        }
        return std::min(buckets - 1, static_cast<std::size_t>(std::min(b, 1e12)));
    };
    const std::size_t from = bandOf(area.top());
    const std::size_t to = bandOf(area.bottom());
    for (std::size_t b = from; b <= to; ++b) {
        for (std::uint32_t k = bucketStart_[b]; k < bucketStart_[b + 1]; ++k) {
            const std::uint32_t i = bucketItems_[k];
            if (items_[i].box.intersects(area)) {
                out.push_back(i);
            }
        }
    }
    if (from != to) {
        std::sort(out.begin(), out.end());  // document order, which is the painting order
        out.erase(std::unique(out.begin(), out.end()), out.end());
    }
}

}  // namespace rw::preview

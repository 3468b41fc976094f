#include "data/ColumnFit.h"

#include <algorithm>
#include <numeric>

namespace ColumnFit {

namespace {

// Shares `total` among the columns in proportion to `weights`, in whole pixels, the pixels that
// rounding leaves going to the first columns.
std::vector<int> share(const std::vector<long long>& weights, int total)
{
    std::vector<int> out(weights.size(), 0);
    const long long sum = std::accumulate(weights.begin(), weights.end(), 0LL);
    if (sum <= 0 || total <= 0)
        return out;
    int given = 0;
    for (std::size_t i = 0; i < weights.size(); ++i) {
        out[i] = static_cast<int>(weights[i] * total / sum);
        given += out[i];
    }
    for (std::size_t i = 0; given < total && !out.empty(); i = (i + 1) % out.size()) {
        if (weights[i] > 0) {
            ++out[i];
            ++given;
        }
    }
    return out;
}

} // namespace

std::vector<int> fit(const std::vector<Column>& columns, int available)
{
    const std::size_t count = columns.size();
    std::vector<int> widths(count, 0);
    if (count == 0)
        return widths;
    available = std::max(available, static_cast<int>(count));
    std::vector<int> wanted(count);
    std::vector<int> titles(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Column& c = columns[i];
        titles[i] = std::max(1, c.title);
        wanted[i] = std::max(titles[i], c.content);
        if (c.most >= 0)
            wanted[i] = std::min(wanted[i], std::max(c.most, titles[i]));
    }
    const int wantsum = std::accumulate(wanted.begin(), wanted.end(), 0);
    const int titlesum = std::accumulate(titles.begin(), titles.end(), 0);

    if (wantsum <= available) {
        widths = wanted;
        int spare = available - wantsum;
        // The content cut by `most` first, up to its whole width.
        for (std::size_t i = 0; i < count && spare > 0; ++i) {
            const int more = std::min(spare, std::max(0, columns[i].content - widths[i]));
            widths[i] += more;
            spare -= more;
        }
        // Then to every column in proportion to its width, so that a cell being typed in has room.
        const std::vector<int> extra = share(std::vector<long long>(widths.begin(), widths.end()), spare);
        for (std::size_t i = 0; i < count; ++i)
            widths[i] += extra[i];
    } else if (titlesum <= available) {
        // The widest wants give way first: every column is cut to one bound, the largest that
        // fits, its title staying whole; the pixels left go one each to the columns at the bound.
        const auto at = [&](int bound) {
            int sum = 0;
            for (std::size_t i = 0; i < count; ++i)
                sum += std::max(titles[i], std::min(wanted[i], bound));
            return sum;
        };
        int low = 0;
        int high = *std::max_element(wanted.begin(), wanted.end());
        while (low < high) {
            const int middle = (low + high + 1) / 2;
            if (at(middle) <= available)
                low = middle;
            else
                high = middle - 1;
        }
        int spare = available - at(low);
        for (std::size_t i = 0; i < count; ++i) {
            widths[i] = std::max(titles[i], std::min(wanted[i], low));
            if (spare > 0 && wanted[i] > low && titles[i] <= low) {
                ++widths[i];
                --spare;
            }
        }
    } else {
        std::vector<long long> weights(titles.begin(), titles.end());
        widths = share(weights, available);
        for (int& width : widths)
            width = std::max(width, 1);
    }
    return widths;
}

} // namespace ColumnFit

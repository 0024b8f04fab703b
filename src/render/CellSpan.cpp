#include "render/CellSpan.h"

#include <algorithm>

namespace orv {

namespace {

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

std::int64_t ceilDiv(std::int64_t a, std::int64_t b) {
    return -floorDiv(-a, b);
}

}  // namespace

CellSpan narrowSpanByDivision(CellSpan span, std::int64_t step, std::int64_t least,
                              std::int64_t most) {
    span.first = std::max(span.first, ceilDiv(least, step));
    span.last = std::min(span.last, floorDiv(most, step));
    return span.empty() ? CellSpan{} : span;
}

void mergeSpans(std::vector<CellSpan>& spans) {
    std::erase_if(spans, [](const CellSpan& span) { return span.empty(); });
    std::sort(spans.begin(), spans.end(),
              [](const CellSpan& p, const CellSpan& q) { return p.first < q.first; });
    std::size_t kept = 0;
    for (const CellSpan& span : spans) {
        if (kept > 0 && span.first <= spans[kept - 1].last + 1) {
            spans[kept - 1].last = std::max(spans[kept - 1].last, span.last);
        } else {
            spans[kept++] = span;
        }
    }
    spans.resize(kept);
}

}  // namespace orv

#pragma once
// The cells of a run grouped by rheology: a layered body's fixed layers run their own
// rheologies beside the swept cells' (docs/method.md §5), and every kernel that is templated
// on a rheology runs once per span.
#include <vector>

#include "description/body.hpp"

namespace tidal {

// Cells first..last (1-based, inclusive, outermost first) of one rheology.
struct RheologySpan {
    int first = 1, last = 1;
    Rheology rheology{};
};

// The spans of `body`'s cells in a run of the swept rheology `swept`, outermost first: one span
// when every cell runs `swept`, cut where a fixed layer of another rheology begins or ends.
inline std::vector<RheologySpan> rheology_spans(const Body& body, Rheology swept) {
    std::vector<RheologySpan> spans;
    for (int l = 1; l <= body.layers; ++l) {
        const Rheology r = body.cell_rheology(static_cast<std::size_t>(l - 1), swept);
        if (!spans.empty() && spans.back().rheology == r)
            spans.back().last = l;
        else
            spans.push_back({l, l, r});
    }
    return spans;
}

} // namespace tidal

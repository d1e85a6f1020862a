#include "body/key_suggestion.hpp"

#include <algorithm>

namespace tidal {

namespace {

// Levenshtein distance: insertions, deletions and substitutions of one character.
std::size_t edit_distance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string_view leaf(std::string_view key) {
    const auto dot = key.rfind('.');
    return dot == std::string_view::npos ? key : key.substr(dot + 1);
}

} // namespace

std::string nearest_key(std::string_view given, const std::vector<std::string>& known) {
    // Long input cannot be a typo of a short key; do not spend time on it.
    if (given.size() > 200) return "";
    std::string best;
    std::size_t best_distance = 0;
    for (const std::string& k : known) {
        const std::size_t d =
            std::min(edit_distance(given, k), edit_distance(leaf(given), leaf(k)));
        if (best.empty() || d < best_distance) {
            best = k;
            best_distance = d;
        }
    }
    const std::size_t allowed = std::max<std::size_t>(2, leaf(given).size() / 3);
    return best_distance <= allowed ? best : "";
}

} // namespace tidal

#pragma once
// Substitution with factorised band matrices of 7 sub- and 7 super-diagonals, for several
// independent systems at once ("lanes", e.g. one per viscosity), each with three right-hand
// sides. The factors are repacked row by row with the lanes innermost, so that the same
// operation on every lane is one vector instruction. Every right-hand side sees exactly the
// operations of banbksdp in the same order: the solutions are bit-identical to separate
// banbksdp calls.
#include <cstdint>
#include <vector>

#include "linalg/views.hpp"

namespace tidal {

inline constexpr int kBandLower = 7;
inline constexpr int kBandUpper = 7;
inline constexpr int kBandWidth = kBandLower + kBandUpper + 1;
inline constexpr int kRightHandSides = 3;

// Lanes of the batched substitution.
inline constexpr int kLanes = 8;

template <int L> struct LaneBandFactors {
    int n = 0;
    std::vector<double> upper;  // [row][band column][lane]; column 0 holds the pivot
    std::vector<double> lower;  // [row][multiplier][lane]
    std::vector<int> pivot_row; // [lane][row], 0-based row interchanged with row at that step
    // [row]: the row every lane interchanges with at that step, or -1 when the lanes differ.
    std::vector<int> common_pivot;
    // Most band entries of these matrices are exactly zero, in every lane. Per row, ascending:
    // the super-diagonal columns (1..14) and the multipliers (0..6) that are nonzero in some
    // lane; a zero factor's product subtracts nothing, so only these terms are computed.
    std::vector<std::uint8_t> upper_terms, lower_terms; // [row][at most 14 / 7]
    std::vector<std::uint8_t> upper_count, lower_count; // [row]
    // When every lane interchanges the same rows, the forward pass is done row by row: row k
    // of its result is the right-hand side's row source[k] minus its updates, in the order in
    // which the usual column-by-column elimination applies them (the same operations, but
    // each result row is stored once). update_begin[k] .. update_begin[k+1]-1 index the
    // updates of row k: the earlier result row and the multiplier (row*7 + term) to use.
    bool by_rows = false;
    std::vector<int> source, update_begin, update_row, update_multiplier;

    explicit LaneBandFactors(int order = 0)
        : n(order), upper(static_cast<std::size_t>(order) * kBandWidth * L),
          lower(static_cast<std::size_t>(order) * kBandLower * L),
          pivot_row(static_cast<std::size_t>(order) * L),
          common_pivot(static_cast<std::size_t>(order), -1),
          upper_terms(static_cast<std::size_t>(order) * (kBandWidth - 1)),
          lower_terms(static_cast<std::size_t>(order) * kBandLower),
          upper_count(static_cast<std::size_t>(order)),
          lower_count(static_cast<std::size_t>(order)) {}
};

// Right-hand sides of all lanes: [row][rhs][lane], rows 1-based through the accessor.
template <int L> class LaneVectors {
  public:
    LaneVectors(double* data, int n) : data_(data), n_(n) {}
    double& operator()(int row, int rhs, int lane) const {
        return data_[(static_cast<std::size_t>(row - 1) * kRightHandSides + rhs) * L + lane];
    }
    double* data() const { return data_; }
    int size() const { return n_; }
    static constexpr std::size_t storage(int n) {
        return static_cast<std::size_t>(n) * kRightHandSides * L;
    }

  private:
    double* data_;
    int n_;
};

// Copies the factors left by bandecdp (m1 = m2 = 7) into lane `lane`.
template <int L>
void pack_band_factors(Mat1View<const double> a, Mat1View<const double> al,
                       Vec1View<const int> indx, int lane, LaneBandFactors<L>& out);

// Once every lane is packed: the interchanges common to the lanes, the terms that are nonzero
// in some lane and the row-by-row schedule of the forward pass.
template <int L> void finish_lane_factors(LaneBandFactors<L>& out);

// Solves every lane's system for its three right-hand sides, in place; `scratch` (as large as
// b) holds the forward pass's result.
template <int L>
void solve_lanes(const LaneBandFactors<L>& f, LaneVectors<L> b, LaneVectors<L> scratch);

} // namespace tidal

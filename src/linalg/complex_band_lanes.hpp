#pragma once
// Method: docs/method.md §4 (the banded solve).
// The complex band factorisation and substitution of bandecdp / banbksdp (7 sub- and 7
// super-diagonals) for kLanes independent systems at once, one per lane (e.g. one per
// viscosity), the lanes innermost so that one vector instruction serves them all. Each lane
// sees the operations of bandecdp and banbksdp on its own matrix in their order (pivots
// chosen per lane, interchanges per lane), with complex arithmetic as the compiler emits it
// (linalg/complex_lanes.hpp), except the products with a factor that is zero in every lane
// by structure, which subtract nothing and are skipped: an entry outside the bands' pattern
// (set_pattern: most entries of the tide's bands are such zeros) or not yet filled in by the
// elimination, followed from row to row as bit masks. Its solutions therefore equal the
// scalar code's value for value, to the bit; only an exactly zero value may carry the other
// sign, as x - 0 y for x = -0 would have given +0. A lane whose arithmetic met an infinity or
// NaN (where the skipped products and the compiler's library calls could tell) is reported
// by reliable(), for the caller to solve with the scalar code.
#include <array>
#include <complex>
#include <cstdint>
#include <span>
#include <vector>

#include "linalg/band_solve_fast.hpp"
#include "linalg/views.hpp"

namespace tidal {

// Which compiled kernels solve the lanes: the best for this processor (eight lanes in one
// register where it has AVX-512, else two halves of four), or one vector type compiled for
// the baseline instruction set, so that each can be checked on any machine.
enum class LaneKernels { Best, Halves, Whole };

class ComplexLaneBand {
  public:
    explicit ComplexLaneBand(int order = 0);

    // The kernels that factorise and substitute (Best unless set: all give the same bits).
    void use_kernels(LaneKernels k) { kernels_ = k; }

    int order() const { return n_; }

    // The entries of the bands to come that may be nonzero: bit c - 1 of rows[i - 1] for
    // band column c of row i (entries outside the matrix never count). Every other entry is
    // taken as zero, whatever the bands hold there: set_lanes copies none of them, and the
    // factorisation forms no product with them. By default every entry inside the matrix.
    void set_pattern(std::span<const std::uint32_t> rows);

    // Sets lane `lane`'s matrix from the band storage that bandecdp takes (n x 15, column
    // by column).
    void set_lane(int lane, Mat1View<const std::complex<double>> a);

    // Sets every lane's matrix at once, lane `lane`'s from bands[lane] (band storage as for
    // set_lane, n x 15 column by column): the pattern's entries, as kLanes calls of set_lane
    // would set them, with the lane layout written once, row by row.
    void set_lanes(const std::array<const std::complex<double>*, kLanes>& bands);

    // Right-hand sides of all lanes, [row][rhs][real, imaginary][lane]: `rhs` of them.
    static std::size_t storage(int order, int rhs) {
        return static_cast<std::size_t>(order) * static_cast<std::size_t>(rhs) * 2 * kLanes;
    }
    // Where part `part` (0 real, 1 imaginary) of row `row` (0-based) of right-hand side `r`
    // of lane `lane` sits.
    static std::size_t index(int rhs, int row, int r, int part, int lane) {
        return ((static_cast<std::size_t>(row) * static_cast<std::size_t>(rhs) +
                 static_cast<std::size_t>(r)) * 2 + static_cast<std::size_t>(part)) * kLanes +
               static_cast<std::size_t>(lane);
    }

    // Factorises every lane in place (bandecdp's steps; kTinyPivot for a zero pivot) and
    // eliminates forward with it, as it goes, the `rhs` right-hand sides in b (banbksdp's
    // interchanges and multipliers: the multipliers are not kept, so every right-hand side
    // to be solved with this factorisation is given here; rhs may be 0). With `loads`
    // (order x rhs complex values, row by row: loads[row * rhs + r] is row `row` of
    // right-hand side r), b is not read before: each lane's right-hand sides are those
    // values, b's rows set from them as the elimination reaches them.
    void factorise(double* b, int rhs, const std::complex<double>* loads = nullptr);

    // Completes the solution of every lane's system for the `rhs` right-hand sides in b that
    // factorise eliminated forward, in place (banbksdp's back pass). With `out` (rhs x
    // kLanes pointers), right-hand side r's solution of lane `lane` is also written to
    // out[r * kLanes + lane] (order complex values) as it is formed, for every r whose
    // out[r * kLanes] is not null (then neither are its other lanes').
    void back_substitute(double* b, int rhs, double* const* out = nullptr);

    // Per lane, whether its solutions of the last back substitution are the scalar code's:
    // its factorisation and those solutions stayed finite.
    std::array<bool, kLanes> reliable() const;
    // The same for a part of those solutions, right-hand sides first .. first + count - 1 of
    // the `rhs` in b: its factorisation and these solutions stayed finite (what reliable()
    // would say of a substitution of these right-hand sides alone).
    std::array<bool, kLanes> reliable(const double* b, int rhs, int first, int count) const;

  private:
    // Row i's band columns inside the matrix, as bits.
    std::uint32_t inside(int i) const;

    int n_;
    LaneKernels kernels_ = LaneKernels::Best;
    std::vector<double> upper_;   // [row][slot][part][lane]
    std::vector<std::uint32_t> pattern_; // [row]: the band columns that may be nonzero
    std::vector<std::uint32_t> mask_;    // [row]: its slots that may be nonzero (factorise)
    // Per row, ascending: the super-diagonal columns (2..15) of the upper factor that may be
    // nonzero in some lane, and how many.
    std::vector<int> upper_terms_, upper_count_;
    std::array<bool, kLanes> failed_{}; // [lane]: an infinite or NaN factor
    std::array<bool, kLanes> finite_{}; // [lane]: the last back substitution's solutions all finite
};

} // namespace tidal

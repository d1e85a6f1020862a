#pragma once
// Gaussian elimination with partial pivoting for band matrices in compact row storage, for
// real (double) and complex (std::complex<double>) entries.
//
// A band matrix of order n with m1 sub- and m2 super-diagonals is held in an np x mm array
// (mm = m1 + m2 + 1, stored column by column): the full-matrix element A(i, c) sits at
// a(i, c - i + m1 + 1), so column m1 + 1 is the main diagonal. Positions outside the matrix
// must hold zero.
#include <type_traits>

#include "linalg/views.hpp"

namespace tidal {

// Value that replaces an exactly zero pivot, so that a singular column does not stop the
// elimination (the solution then carries correspondingly huge values).
inline constexpr double kTinyPivot = 1.0e-20;

// Factorises the band matrix `a` in place. Afterwards `a` holds the upper factor U
// left-aligned (a(k, 1) is the pivot of row k), `al` (np x m1) the multipliers, `indx` the
// row interchanged with row k at step k and `d` the sign of the permutation (+1 or -1).
// The pivot is the candidate of largest magnitude (|x| for reals, |re| + |im| for complex
// entries); ties keep the earlier row. Instantiated for double and std::complex<double>.
template <class T>
void bandecdp(Mat1View<T> a, int n, int m1, int m2, std::type_identity_t<Mat1View<T>> al,
              Vec1View<int> indx, double& d);

// Solves A x = b with the factors left by bandecdp; `b` holds the right-hand side on entry and
// the solution on return.
template <class T>
void banbksdp(std::type_identity_t<Mat1View<const T>> a, int n, int m1, int m2,
              std::type_identity_t<Mat1View<const T>> al, Vec1View<const int> indx, Vec1View<T> b);

} // namespace tidal

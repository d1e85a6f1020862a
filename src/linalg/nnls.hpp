#pragma once
// Non-negative least squares for small dense problems: min ||A x - b||_2 subject to x >= 0,
// by the active-set method of Lawson and Hanson ("Solving Least Squares Problems", 1974,
// ch. 23), every unconstrained subproblem solved by Householder QR.
#include <span>
#include <vector>

namespace tidal {

struct NnlsResult {
    std::vector<double> x;      // the solution, every entry >= 0
    double residual_norm = 0.0; // ||A x - b||_2
    int iterations = 0;         // columns brought into the passive (free) set
    // False when the iteration cap was reached (cycling through rounding): x is then the last
    // feasible iterate, still >= 0 and no worse than any earlier one.
    bool converged = false;
};

// Solves min ||A x - b||_2 subject to x >= 0 for the rows x cols matrix A stored column by
// column (A(i, j) = a[i + rows * j], 0-based) and b of length rows. Any shape is accepted
// (rows < cols too). At most max_iterations columns are freed (0: three times cols, far
// more than the method needs). The result depends only on the input bits. Throws
// std::invalid_argument for inconsistent sizes or non-finite entries, never for the iteration.
NnlsResult nnls(std::span<const double> a, int rows, int cols, std::span<const double> b,
                int max_iterations = 0);

} // namespace tidal

#include "linalg/nnls.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <stdexcept>

namespace tidal {

namespace {

constexpr double kEps = std::numeric_limits<double>::epsilon();

// A column entering the passive set whose part outside the span of the passive columns is
// below this fraction of its norm is taken as dependent on them and refused (its coefficient
// would be set by rounding).
constexpr double kDependence = 1.0e-15;

std::size_t at(int i, int j, int rows) {
    return static_cast<std::size_t>(j) * static_cast<std::size_t>(rows) +
           static_cast<std::size_t>(i);
}

// 2-norm of v[0..n), scaled so that squaring neither overflows nor underflows.
double norm2(const double* v, int n) {
    double scale = 0.0;
    for (int i = 0; i < n; ++i)
        scale = std::max(scale, std::fabs(v[i]));
    if (scale == 0.0) return 0.0;
    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
        const double t = v[i] / scale;
        sum += t * t;
    }
    return scale * std::sqrt(sum);
}

// Householder QR without pivoting: reduces the rows x cols matrix q (column by column) to
// upper-trapezoidal form R = H_k ... H_1 q, k = min(rows, cols), and applies the same
// reflections to rhs (length rows). Each H_j = I - v v^T / (|x| (|x| + |x_0|)) maps the column
// x = q(j.., j) onto d e_1 with d = -sign(x_0) |x| (the sign that avoids cancellation in v).
void householder_reduce(std::vector<double>& q, int rows, int cols, std::vector<double>& rhs) {
    const int k = std::min(rows, cols);
    for (int j = 0; j < k; ++j) {
        double* v = q.data() + at(j, j, rows);
        const int len = rows - j;
        const double norm = norm2(v, len);
        if (norm == 0.0) continue;
        const double x0 = v[0];
        const double d = x0 >= 0.0 ? -norm : norm;
        v[0] = x0 - d;
        const double scale = norm + std::fabs(x0);
        auto reflect = [&](double* y) {
            double dot = 0.0;
            for (int i = 0; i < len; ++i)
                dot += v[i] * y[i];
            const double f = dot / norm / scale;
            for (int i = 0; i < len; ++i)
                y[i] -= f * v[i];
        };
        for (int c = j + 1; c < cols; ++c)
            reflect(q.data() + at(j, c, rows));
        reflect(rhs.data() + j);
        v[0] = d;
        for (int i = 1; i < len; ++i)
            v[i] = 0.0;
    }
}

// The problem reduced to k = min(rows, cols) rows: A = Q [R; 0] and c the first k entries of
// Q^T b. Since Q is orthogonal, ||A x - b||^2 = ||R x - c||^2 + const and the gradient
// A^T (A x - b) = R^T (R x - c): the constrained minimiser is the same, and every subproblem
// costs k instead of rows.
struct Reduced {
    int k = 0, n = 0;
    std::vector<double> r; // k x n, column by column
    std::vector<double> c; // k
};

Reduced reduce(std::span<const double> a, int rows, int cols, std::span<const double> b) {
    std::vector<double> q(a.begin(), a.end());
    std::vector<double> rhs(b.begin(), b.end());
    householder_reduce(q, rows, cols, rhs);
    Reduced red;
    red.k = std::min(rows, cols);
    red.n = cols;
    red.r.assign(at(0, cols, red.k), 0.0);
    for (int j = 0; j < cols; ++j)
        for (int i = 0; i <= std::min(j, red.k - 1); ++i)
            red.r[at(i, j, red.k)] = q[at(i, j, rows)];
    red.c.assign(rhs.begin(), rhs.begin() + red.k);
    return red;
}

// Unconstrained least-squares solution z on the passive columns (in their order in `passive`)
// of the reduced problem, by Householder QR of those columns. With check_last, returns false
// when the last passive column is numerically dependent on the others.
bool solve_passive(const Reduced& red, const std::vector<int>& passive, bool check_last,
                   std::vector<double>& z) {
    const int k = red.k;
    const int p = static_cast<int>(passive.size());
    if (p > k) return false;
    std::vector<double> q(at(0, p, k));
    for (int j = 0; j < p; ++j)
        std::copy_n(red.r.data() + at(0, passive[j], k), k, q.data() + at(0, j, k));
    std::vector<double> rhs = red.c;
    householder_reduce(q, k, p, rhs);
    if (check_last) {
        const double column = norm2(red.r.data() + at(0, passive[p - 1], k), k);
        if (!(std::fabs(q[at(p - 1, p - 1, k)]) > kDependence * column)) return false;
    }
    z.assign(p, 0.0);
    for (int i = p - 1; i >= 0; --i) {
        double s = rhs[i];
        for (int j = i + 1; j < p; ++j)
            s -= q[at(i, j, k)] * z[j];
        const double diag = q[at(i, i, k)];
        z[i] = diag != 0.0 ? s / diag : 0.0;
    }
    return true;
}

} // namespace

NnlsResult nnls(std::span<const double> a, int rows, int cols, std::span<const double> b,
                int max_iterations) {
    if (rows < 1 || cols < 1 || max_iterations < 0 || a.size() != at(0, cols, rows) ||
        b.size() != static_cast<std::size_t>(rows))
        throw std::invalid_argument("nnls: inconsistent sizes or a negative iteration cap");
    auto finite = [](double v) { return std::isfinite(v); };
    if (!std::all_of(a.begin(), a.end(), finite) || !std::all_of(b.begin(), b.end(), finite))
        throw std::invalid_argument("nnls: the matrix or right-hand side is not finite");

    const Reduced red = reduce(a, rows, cols, b);
    const int k = red.k;
    const int n = cols;

    NnlsResult result;
    std::vector<double>& x = result.x;
    x.assign(n, 0.0);
    std::vector<int> passive;           // free columns, in the order they entered
    std::vector<char> in_passive(n, 0); // membership of `passive`
    std::vector<char> refused(n, 0);    // refused since x last changed
    std::vector<double> w(n), residual(k), z;

    // Each outer iteration frees one column; each inner step binds at least one again, so
    // without rounding the method ends after finitely many; the cap stops cycling.
    const int max_outer = max_iterations > 0 ? max_iterations : 3 * n;
    int outer = 0;
    for (;;) {
        // Negative gradient w = R^T (c - R x).
        for (int i = 0; i < k; ++i)
            residual[i] = red.c[i];
        for (int j = 0; j < n; ++j)
            if (x[j] != 0.0)
                for (int i = 0; i < k; ++i)
                    residual[i] -= red.r[at(i, j, k)] * x[j];
        for (int j = 0; j < n; ++j) {
            double s = 0.0;
            for (int i = 0; i < k; ++i)
                s += red.r[at(i, j, k)] * residual[i];
            w[j] = s;
        }

        // Free the bound column of steepest descent whose unconstrained coefficient with the
        // passive set is positive. A gradient at rounding level passes the test w > 0; such a
        // column is refused when its coefficient comes out <= 0 or it depends on the passive
        // columns, so no tolerance on w is needed (as in Lawson and Hanson's own code).
        int entered = -1;
        for (;;) {
            int t = -1;
            for (int j = 0; j < n; ++j)
                if (!in_passive[j] && !refused[j] && w[j] > 0.0 && (t < 0 || w[j] > w[t])) t = j;
            if (t < 0) break;
            passive.push_back(t);
            if (solve_passive(red, passive, true, z) && z.back() > 0.0) {
                entered = t;
                break;
            }
            passive.pop_back();
            refused[t] = 1;
        }
        if (entered < 0) {
            result.converged = true;
            break;
        }
        if (outer == max_outer) { // x stays the last feasible iterate
            passive.pop_back();
            break;
        }
        ++outer;
        in_passive[entered] = 1;
        std::fill(refused.begin(), refused.end(), 0);

        // Move from x towards z until z is feasible: each step binds the passive coefficient
        // that reaches zero first (and any rounded to zero with it).
        for (;;) {
            bool feasible = true;
            for (double v : z)
                feasible = feasible && v > 0.0;
            if (feasible) {
                for (std::size_t p = 0; p < passive.size(); ++p)
                    x[passive[p]] = z[p];
                break;
            }
            double step = 1.0;
            int binding = -1;
            for (std::size_t p = 0; p < passive.size(); ++p) {
                if (z[p] > 0.0) continue;
                const double xj = x[passive[p]];
                const double s = xj > 0.0 ? xj / (xj - z[p]) : 0.0;
                if (binding < 0 || s < step) {
                    step = s;
                    binding = passive[p];
                }
            }
            for (std::size_t p = 0; p < passive.size(); ++p) {
                double& xj = x[passive[p]];
                xj += step * (z[p] - xj);
            }
            x[binding] = 0.0;
            std::vector<int> kept;
            for (int j : passive) {
                if (x[j] > 0.0) {
                    kept.push_back(j);
                } else {
                    x[j] = 0.0;
                    in_passive[j] = 0;
                }
            }
            passive = std::move(kept);
            if (passive.empty()) break;
            solve_passive(red, passive, false, z);
        }
    }
    result.iterations = outer;

    std::vector<double> r(b.begin(), b.end());
    for (int j = 0; j < n; ++j)
        if (x[j] != 0.0)
            for (int i = 0; i < rows; ++i)
                r[i] -= a[at(i, j, rows)] * x[j];
    result.residual_norm = norm2(r.data(), rows);
    return result;
}

} // namespace tidal

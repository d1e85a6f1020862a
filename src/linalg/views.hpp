#pragma once
// Thin 1-based views over caller-owned storage, so that the numerical formulas can be
// written with the same indices as the equations: vectors run 1..n, matrices are stored
// column by column (first index fastest) and run 1..rows, 1..cols.
#include <cstddef>
#include <type_traits>
#include <vector>

namespace tidal {

template <class T> class Vec1View {
  public:
    Vec1View(T* data, int n) : data_(data), n_(n) {}
    // A writable view converts to a read-only one.
    template <class U>
    requires std::is_same_v<const U, T> Vec1View(const Vec1View<U>& other)
        : data_(other.data()), n_(other.size()) {}
    T& operator()(int i) const { return data_[i - 1]; }
    int size() const { return n_; }
    T* data() const { return data_; }

  private:
    T* data_;
    int n_;
};

template <class T> class Mat1View {
  public:
    Mat1View(T* data, int rows, int cols) : data_(data), rows_(rows), cols_(cols) {}
    template <class U>
    requires std::is_same_v<const U, T> Mat1View(const Mat1View<U>& other)
        : data_(other.data()), rows_(other.rows()), cols_(other.cols()) {}
    T& operator()(int i, int j) const {
        return data_[static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(rows_) + (i - 1)];
    }
    int rows() const { return rows_; }
    int cols() const { return cols_; }
    T* data() const { return data_; }

  private:
    T* data_;
    int rows_;
    int cols_;
};

template <class T> Vec1View<T> vec1(std::vector<T>& v) {
    return Vec1View<T>(v.data(), static_cast<int>(v.size()));
}
template <class T> Vec1View<const T> vec1(const std::vector<T>& v) {
    return Vec1View<const T>(v.data(), static_cast<int>(v.size()));
}
template <class T> Mat1View<T> mat1(std::vector<T>& v, int rows, int cols) {
    return Mat1View<T>(v.data(), rows, cols);
}
template <class T> Mat1View<const T> mat1(const std::vector<T>& v, int rows, int cols) {
    return Mat1View<const T>(v.data(), rows, cols);
}

} // namespace tidal

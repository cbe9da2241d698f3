#include "protocol/harmonic_fit.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace torl7 {

using Complex = std::complex<double>;
constexpr double kPi = std::numbers::pi;

HarmonicFit::HarmonicFit(double period, std::size_t window, int last)
    : window_(window), last_(last), size_(static_cast<std::size_t>(2 * last + 1)),
      step_(std::polar(1.0, 2.0 * kPi / period)), factor_(size_ * size_) {
    // The normal matrix, lower triangle.
    forEachRow([this](std::size_t, const double* row) {
        for (std::size_t r = 0; r < size_; ++r) {
            for (std::size_t c = 0; c <= r; ++c) {
                factor_[r * size_ + c] += row[r] * row[c];
            }
        }
    });
    // Cholesky: the lower triangle becomes L with L L^T = the normal matrix.
    for (std::size_t j = 0; j < size_; ++j) {
        double d = factor_[j * size_ + j];
        for (std::size_t k = 0; k < j; ++k) {
            d -= factor_[j * size_ + k] * factor_[j * size_ + k];
        }
        factor_[j * size_ + j] = std::sqrt(std::max(d, 1e-12));
        for (std::size_t r = j + 1; r < size_; ++r) {
            double v = factor_[r * size_ + j];
            for (std::size_t k = 0; k < j; ++k) {
                v -= factor_[r * size_ + k] * factor_[j * size_ + k];
            }
            factor_[r * size_ + j] = v / factor_[j * size_ + j];
        }
    }
}

HarmonicFit::Result HarmonicFit::fit(const std::vector<double>& x) const {
    std::vector<double> c(size_, 0.0);
    forEachRow([&](std::size_t i, const double* row) {
        for (std::size_t r = 0; r < size_; ++r) {
            c[r] += row[r] * x[i];
        }
    });
    for (std::size_t r = 0; r < size_; ++r) { // L y = b
        for (std::size_t k = 0; k < r; ++k) {
            c[r] -= factor_[r * size_ + k] * c[k];
        }
        c[r] /= factor_[r * size_ + r];
    }
    for (std::size_t r = size_; r-- > 0;) { // L^T c = y
        for (std::size_t k = r + 1; k < size_; ++k) {
            c[r] -= factor_[k * size_ + r] * c[k];
        }
        c[r] /= factor_[r * size_ + r];
    }
    Result result;
    result.mean = c[0];
    result.harmonics.assign(static_cast<std::size_t>(last_ + 1), Complex());
    for (int h = 1; h <= last_; ++h) {
        // a cos + b sin = A cos(θ + φ) with A e^{jφ} = a - jb.
        result.harmonics[static_cast<std::size_t>(h)] =
            Complex(c[2 * h - 1], -c[2 * h]) / std::numbers::sqrt2;
    }
    double squares = 0;
    forEachRow([&](std::size_t i, const double* row) {
        double model = 0;
        for (std::size_t r = 0; r < size_; ++r) {
            model += row[r] * c[r];
        }
        squares += (x[i] - model) * (x[i] - model);
    });
    result.residualSquare = squares / static_cast<double>(window_);
    return result;
}

} // namespace torl7

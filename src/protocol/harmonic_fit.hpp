// Least-squares fit of a mean and harmonics 1..last of one frequency over a window of whole
// periods, the measuring step of the waveform analysis. When the window holds a whole number
// of samples per period this is the DFT; when it does not (28.6 samples a period), the DFT's
// sums would let every harmonic leak into the others, the fit does not. The window and the
// frequency are the same for every channel of a set, so the normal equations are formed and
// factorised once, and each channel costs two passes over its samples. The basis is made again
// on each pass, by rotation from sample to sample, so a record of a million samples needs no
// more memory than one of a hundred. Pure: no Qt.
#pragma once

#include <complex>
#include <cstddef>
#include <vector>

namespace torl7 {

class HarmonicFit {
public:
    // `period` in samples (any real number above 2), `window` samples from the first.
    HarmonicFit(double period, std::size_t window, int last);

    int last() const { return last_; }
    std::size_t window() const { return window_; }

    struct Result {
        double mean = 0;
        // [h], the RMS phasor of harmonic h as a cosine from the first sample; [0] unused.
        std::vector<std::complex<double>> harmonics;
        double residualSquare = 0; // mean square of what the harmonics do not hold
    };
    // `x` holds at least `window` samples.
    Result fit(const std::vector<double>& x) const;

private:
    // f(i, row) for every sample i of the window, `row` its basis: 1, then cos and sin of each
    // harmonic. The same sequence of operations on every pass, so every pass sees the same row.
    template <class F> void forEachRow(F&& f) const {
        std::vector<double> row(size_);
        std::complex<double> at(1.0, 0.0);
        for (std::size_t i = 0; i < window_; ++i) {
            row[0] = 1.0;
            std::complex<double> power = at;
            for (int h = 1; h <= last_; ++h) {
                row[static_cast<std::size_t>(2 * h - 1)] = power.real();
                row[static_cast<std::size_t>(2 * h)] = power.imag();
                power *= at;
            }
            f(i, row.data());
            at *= step_;
        }
    }

    std::size_t window_;
    int last_;
    std::size_t size_;
    std::complex<double> step_;  // one sample's turn of the fundamental
    std::vector<double> factor_; // [row][column], lower triangle: Cholesky of the normal matrix
};

} // namespace torl7

// Dense row-major matrix of doubles. Indices are 0-based; the formulas in the analysis
// count from 1, and each stage converts at its edge.
#pragma once

#include <cassert>
#include <cstddef>
#include <vector>

namespace tavrik {

class Matrix
{
public:
    Matrix() = default;
    Matrix(std::size_t rows, std::size_t cols, double fill = 0.0)
        : m_rows(rows)
        , m_cols(cols)
        , m_data(rows * cols, fill)
    {}

    std::size_t rows() const { return m_rows; }
    std::size_t cols() const { return m_cols; }
    bool empty() const { return m_data.empty(); }

    double& operator()(std::size_t r, std::size_t c)
    {
        assert(r < m_rows && c < m_cols);
        return m_data[r * m_cols + c];
    }
    double operator()(std::size_t r, std::size_t c) const
    {
        assert(r < m_rows && c < m_cols);
        return m_data[r * m_cols + c];
    }

    const std::vector<double>& data() const { return m_data; }
    friend bool operator==(const Matrix&, const Matrix&) = default;

private:
    std::size_t m_rows = 0;
    std::size_t m_cols = 0;
    std::vector<double> m_data;
};

} // namespace tavrik

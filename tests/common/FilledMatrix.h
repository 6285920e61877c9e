#pragma once
// A matrix of the given shape and begin indices whose elements, in storage
// order, are sample(0), sample(1), ...: the fixtures of the tests that write
// matrices and read them back.

template <class M, class Sample>
M FilledMatrix(int cols, int rows, int colBegin, int rowBegin, Sample sample)
{
    M m(cols, rows);
    m.ColBegin = colBegin;
    m.RowBegin = rowBegin;
    for (int i = 0; i < m.ElementCount(); ++i)
        m.Buffer()[i] = sample(i);
    return m;
}

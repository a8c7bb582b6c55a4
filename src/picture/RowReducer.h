#pragma once

// Reduces a picture while it is decoded, one source row at a time: each target pixel is the
// mean of the source pixels that fall on it. Besides the reduced picture only one row of
// sums is kept, so a big picture is never held whole. A picture whose pixels come scattered
// (an interlaced PNG's passes) keeps a sum for every target pixel instead.

#include "picture/Decoding.h"

#include <QImage>
#include <QSize>
#include <QtGlobal>
#include <array>
#include <vector>

class RowReducer {
public:
    // True when a picture of sourceSize can be reduced to targetSize: neither is empty,
    // neither side grows, and the sums of the largest box stay exact.
    static bool canReduce(QSize sourceSize, QSize targetSize);

    // How the source pixels come: whole rows from the top (addRow, addRows), whole rows from
    // the bottom, as most BMP files store them, or scattered over the picture in any order
    // (addPixels).
    enum class Order { Rows, RowsFromBottom, Scattered };

    // sourceSize and targetSize must pass canReduce. The rows come as bytes in the order
    // Format_RGB888 keeps them (red, green, blue), or with alpha as Format_RGBA8888 does
    // (red, green, blue, alpha; not premultiplied). With alpha, pixels are averaged
    // premultiplied, so a transparent pixel lends no colour to its neighbours, and the
    // result is Format_ARGB32_Premultiplied; without, it is Format_RGB32.
    RowReducer(QSize sourceSize, QSize targetSize, bool alpha, Order order = Order::Rows);

    // The memory a reducer of these sizes takes, the reduced picture included.
    static qint64 bytesFor(
        QSize sourceSize, QSize targetSize, bool alpha, Order order = Order::Rows);

    // The next source row, from the top (or the bottom): sourceSize.width() pixels.
    void addRow(const uchar* row);

    // The same row count times over, at the cost of one row a band: the plain rows around a
    // frame, or those a compressed picture skips.
    // A band of a very wide picture costs as much as a row: set, cancel stops them between
    // bands, and the picture stays unfinished.
    void addRows(const uchar* row, int count, const Decoding::CancelFlag* cancel = nullptr);

    // The source rows added so far.
    int rowsAdded() const { return m_sourceRow; }

    // Scattered only: count pixels of source row y, at columns firstX, firstX + stepX and so
    // on. Each source pixel must come once.
    void addPixels(int y, int firstX, int stepX, const uchar* pixels, int count);

    // The reduced picture once every source row (or pixel) has been added, else a null
    // image. Also null when the picture could not be allocated.
    QImage takeResult();

private:
    struct Divisor {
        quint64 multiplier;
        quint32 half;
    };

    template <int Channels> void finishBand(int bandHeight);
    template <int Channels>
    void scatter(int y, int firstX, int stepX, const uchar* pixels, int count);
    template <int Channels> void finishBoxes();
    // Moves on by rows added to the band, finishing it when they complete it.
    void advance(int rows);
    // Where the band taken after count others ends, in source rows added.
    int bandEnd(int count) const;

    QSize m_sourceSize;
    QSize m_targetSize;
    int m_channels = 3;
    bool m_bottomUp = false;
    // The source columns each target column takes, left to right.
    std::vector<int> m_spans;
    // Bands of source rows are one of two heights; the divisors of each target column for
    // the shorter band and for the taller one.
    int m_shortBand = 0;
    std::array<std::vector<Divisor>, 2> m_divisors;
    // Each channel of each source column summed down the band being added.
    std::vector<quint32> m_sums;
    int m_sourceRow = 0;
    int m_targetRow = 0; // bands finished
    int m_bandStart = 0;
    int m_bandEnd = 0;
    // Scattered: the sums of every target pixel, row by row, or none when the target is the
    // source and each pixel goes straight into the picture; the source column after each
    // target column; the source pixels added.
    bool m_scattered = false;
    std::vector<quint32> m_boxSums;
    std::vector<int> m_boxEnds;
    qint64 m_pixelsAdded = 0;
    QImage m_result;
};

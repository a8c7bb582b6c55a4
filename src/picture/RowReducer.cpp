#include "picture/RowReducer.h"

#include <algorithm>

namespace {

// A box's mean is its sum times a fixed-point reciprocal of its area, shifted down: exact
// (the same as rounding sum / area) while 256 * area * area <= 2^Shift, and the product
// stays within 64 bits while Shift <= 55.
constexpr int Shift = 55;
constexpr qint64 MaxBoxArea = qint64(1) << 23;

// Where target column or row i starts in the source.
int sourceStart(int i, int source, int target)
{
    return static_cast<int>(qint64(i) * source / target);
}

int ceilDiv(int a, int b) { return (a + b - 1) / b; }

// colour * alpha / 255, rounded, without a division: exact for every pair of bytes.
quint32 premultiplied(quint32 colour, quint32 alpha)
{
    const quint32 product = colour * alpha + 128;
    return (product + (product >> 8)) >> 8;
}

// The rows are summed down first: per source pixel that is an add or two into one row of
// sums, which the compiler turns into vector code. Across, each band of rows is reduced
// once, when its last row has been added.
void addRgb(quint32* sums, const uchar* row, std::size_t bytes, bool first)
{
    if (first) {
        for (std::size_t i = 0; i < bytes; ++i)
            sums[i] = row[i];
    } else {
        for (std::size_t i = 0; i < bytes; ++i)
            sums[i] += row[i];
    }
}

void addRgba(quint32* sums, const uchar* row, std::size_t bytes, bool first)
{
    if (first) {
        for (std::size_t i = 0; i < bytes; i += 4) {
            const quint32 alpha = row[i + 3];
            sums[i] = premultiplied(row[i], alpha);
            sums[i + 1] = premultiplied(row[i + 1], alpha);
            sums[i + 2] = premultiplied(row[i + 2], alpha);
            sums[i + 3] = alpha;
        }
    } else {
        for (std::size_t i = 0; i < bytes; i += 4) {
            const quint32 alpha = row[i + 3];
            sums[i] += premultiplied(row[i], alpha);
            sums[i + 1] += premultiplied(row[i + 1], alpha);
            sums[i + 2] += premultiplied(row[i + 2], alpha);
            sums[i + 3] += alpha;
        }
    }
}

// The row count times over, for a band that may be shorter than count.
void addRepeated(
    quint32* sums, const uchar* row, std::size_t bytes, int channels, quint32 count, bool first)
{
    for (std::size_t i = 0; i < bytes; i += std::size_t(channels)) {
        for (int c = 0; c < channels; ++c) {
            const quint32 value = channels == 4 && c < 3 ? premultiplied(row[i + c], row[i + 3])
                                                         : row[i + std::size_t(c)];
            sums[i + std::size_t(c)] = (first ? 0 : sums[i + std::size_t(c)]) + value * count;
        }
    }
}

// The pixel of a box from its sums (red, green, blue, alpha) and its divisor.
template <int Channels, typename Divisor>
QRgb boxMean(const std::array<quint32, 4>& sums, const Divisor& divisor)
{
    const auto mean = [&](quint32 sum) {
        return static_cast<int>(((sum + divisor.half) * divisor.multiplier) >> Shift);
    };
    return qRgba(mean(sums[0]), mean(sums[1]), mean(sums[2]), Channels == 4 ? mean(sums[3]) : 255);
}

} // namespace

qint64 RowReducer::bytesFor(QSize sourceSize, QSize targetSize, bool alpha, Order order)
{
    const qint64 channels = alpha ? 4 : 3;
    const qint64 targetPixels = qint64(targetSize.width()) * targetSize.height();
    // A row of sums; scattered, the sums of every target pixel and where each box ends, or
    // none when each pixel is a box of its own.
    qint64 sums = qint64(sourceSize.width()) * channels;
    if (order == Order::Scattered)
        sums = sourceSize == targetSize ? 0 : targetPixels * channels + targetSize.width();
    // The sums, the spans and two divisors a column, and the picture.
    return sums * qint64(sizeof(quint32))
        + qint64(targetSize.width()) * qint64(sizeof(int) + 2 * sizeof(Divisor)) + targetPixels * 4;
}

bool RowReducer::canReduce(QSize sourceSize, QSize targetSize)
{
    if (sourceSize.isEmpty() || targetSize.isEmpty() || targetSize.width() > sourceSize.width()
        || targetSize.height() > sourceSize.height())
        return false;
    const qint64 boxWidth = ceilDiv(sourceSize.width(), targetSize.width());
    const qint64 boxHeight = ceilDiv(sourceSize.height(), targetSize.height());
    return boxWidth * boxHeight <= MaxBoxArea;
}

RowReducer::RowReducer(QSize sourceSize, QSize targetSize, bool alpha, Order order)
    : m_sourceSize(sourceSize)
    , m_targetSize(targetSize)
    , m_channels(alpha ? 4 : 3)
    , m_bottomUp(order == Order::RowsFromBottom)
    , m_scattered(order == Order::Scattered)
{
    Q_ASSERT(canReduce(sourceSize, targetSize));
    const int width = targetSize.width();
    m_spans.resize(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x) {
        m_spans[static_cast<std::size_t>(x)] = sourceStart(x + 1, sourceSize.width(), width)
            - sourceStart(x, sourceSize.width(), width);
    }
    m_shortBand = sourceSize.height() / targetSize.height();
    for (std::size_t taller = 0; taller < m_divisors.size(); ++taller) {
        std::vector<Divisor>& divisors = m_divisors[taller];
        divisors.resize(m_spans.size());
        for (std::size_t x = 0; x < m_spans.size(); ++x) {
            const auto area = static_cast<quint64>(m_spans[x]) * (m_shortBand + taller);
            divisors[x]
                = { ((quint64(1) << Shift) + area - 1) / area, static_cast<quint32>(area / 2) };
        }
    }
    if (!m_scattered) {
        m_sums.resize(static_cast<std::size_t>(sourceSize.width()) * m_channels);
    } else if (sourceSize != targetSize) {
        m_boxSums.resize(m_spans.size() * std::size_t(targetSize.height()) * m_channels);
        m_boxEnds.resize(m_spans.size());
        for (std::size_t x = 0; x < m_spans.size(); ++x)
            m_boxEnds[x] = sourceStart(int(x) + 1, sourceSize.width(), width);
    }
    m_bandEnd = bandEnd(0);
    m_result
        = QImage(targetSize, alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
}

void RowReducer::addRow(const uchar* row)
{
    if (m_sourceRow >= m_sourceSize.height())
        return;
    const bool first = m_sourceRow == m_bandStart;
    if (m_channels == 4)
        addRgba(m_sums.data(), row, m_sums.size(), first);
    else
        addRgb(m_sums.data(), row, m_sums.size(), first);
    advance(1);
}

void RowReducer::addRows(const uchar* row, int count, const Decoding::CancelFlag* cancel)
{
    while (count > 0 && m_sourceRow < m_sourceSize.height()
        && !(cancel && cancel->load(std::memory_order_relaxed))) {
        const int part = std::min(count, m_bandEnd - m_sourceRow);
        addRepeated(m_sums.data(), row, m_sums.size(), m_channels, quint32(part),
            m_sourceRow == m_bandStart);
        count -= part;
        advance(part);
    }
}

void RowReducer::advance(int rows)
{
    m_sourceRow += rows;
    if (m_sourceRow < m_bandEnd)
        return;
    if (m_channels == 4)
        finishBand<4>(m_bandEnd - m_bandStart);
    else
        finishBand<3>(m_bandEnd - m_bandStart);
    ++m_targetRow;
    m_bandStart = m_bandEnd;
    m_bandEnd = bandEnd(m_targetRow);
}

int RowReducer::bandEnd(int count) const
{
    // Bottom up the bands are those of the rows from the top, walked upward.
    const int source = m_sourceSize.height();
    const int target = m_targetSize.height();
    return m_bottomUp ? source - sourceStart(target - 1 - count, source, target)
                      : sourceStart(count + 1, source, target);
}

template <int Channels> void RowReducer::finishBand(int bandHeight)
{
    if (m_result.isNull())
        return;
    const std::vector<Divisor>& divisors
        = m_divisors[static_cast<std::size_t>(bandHeight - m_shortBand)];
    auto* line = reinterpret_cast<QRgb*>(
        m_result.scanLine(m_bottomUp ? m_targetSize.height() - 1 - m_targetRow : m_targetRow));
    const quint32* sums = m_sums.data();
    for (std::size_t x = 0; x < divisors.size(); ++x) {
        quint32 red = 0;
        quint32 green = 0;
        quint32 blue = 0;
        quint32 alpha = 0;
        for (int column = m_spans[x]; column > 0; --column, sums += Channels) {
            red += sums[0];
            green += sums[1];
            blue += sums[2];
            if constexpr (Channels == 4)
                alpha += sums[3];
        }
        line[x] = boxMean<Channels>({ red, green, blue, alpha }, divisors[x]);
    }
}

void RowReducer::addPixels(int y, int firstX, int stepX, const uchar* pixels, int count)
{
    Q_ASSERT(m_scattered && y < m_sourceSize.height()
        && firstX + qint64(count - 1) * stepX < m_sourceSize.width());
    if (m_channels == 4)
        scatter<4>(y, firstX, stepX, pixels, count);
    else
        scatter<3>(y, firstX, stepX, pixels, count);
    m_pixelsAdded += count;
}

template <int Channels>
void RowReducer::scatter(int y, int firstX, int stepX, const uchar* pixels, int count)
{
    if (m_result.isNull())
        return;
    if (m_boxSums.empty()) { // each pixel a box of its own
        auto* line = reinterpret_cast<QRgb*>(m_result.scanLine(y)) + firstX;
        for (int i = 0; i < count; ++i, line += stepX, pixels += Channels) {
            if constexpr (Channels == 4)
                *line = qRgba(int(premultiplied(pixels[0], pixels[3])),
                    int(premultiplied(pixels[1], pixels[3])),
                    int(premultiplied(pixels[2], pixels[3])), pixels[3]);
            else
                *line = qRgb(pixels[0], pixels[1], pixels[2]);
        }
        return;
    }
    // Row y falls in the band of target row ((y + 1) * target - 1) / source.
    const qint64 targetY = (qint64(y + 1) * m_targetSize.height() - 1) / m_sourceSize.height();
    quint32* sums = m_boxSums.data() + std::size_t(targetY) * m_spans.size() * Channels;
    // Box by box: a box's pixels of the row are summed before its sums are touched.
    const int end = firstX + count * stepX;
    std::size_t box = 0;
    for (int x = firstX; x < end; ++box) {
        std::array<quint32, Channels> part {};
        for (const int boxEnd = std::min(m_boxEnds[box], end); x < boxEnd;
             x += stepX, pixels += Channels) {
            if constexpr (Channels == 4) {
                part[0] += premultiplied(pixels[0], pixels[3]);
                part[1] += premultiplied(pixels[1], pixels[3]);
                part[2] += premultiplied(pixels[2], pixels[3]);
                part[3] += pixels[3];
            } else {
                part[0] += pixels[0];
                part[1] += pixels[1];
                part[2] += pixels[2];
            }
        }
        for (std::size_t c = 0; c < Channels; ++c)
            sums[box * Channels + c] += part[c];
    }
}

template <int Channels> void RowReducer::finishBoxes()
{
    const quint32* sums = m_boxSums.data();
    for (int y = 0; y < m_targetSize.height(); ++y) {
        const int band = sourceStart(y + 1, m_sourceSize.height(), m_targetSize.height())
            - sourceStart(y, m_sourceSize.height(), m_targetSize.height());
        const std::vector<Divisor>& divisors
            = m_divisors[static_cast<std::size_t>(band - m_shortBand)];
        auto* line = reinterpret_cast<QRgb*>(m_result.scanLine(y));
        for (std::size_t x = 0; x < divisors.size(); ++x, sums += Channels)
            line[x] = boxMean<Channels>(
                { sums[0], sums[1], sums[2], Channels == 4 ? sums[3] : 0 }, divisors[x]);
    }
}

QImage RowReducer::takeResult()
{
    if (m_scattered) {
        if (m_pixelsAdded != qint64(m_sourceSize.width()) * m_sourceSize.height())
            return {};
        if (!m_boxSums.empty() && !m_result.isNull()) {
            if (m_channels == 4)
                finishBoxes<4>();
            else
                finishBoxes<3>();
        }
    } else if (m_sourceRow != m_sourceSize.height()) {
        return {};
    }
    return std::move(m_result);
}

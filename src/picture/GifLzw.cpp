#include "picture/GifLzw.h"

#include <cstring>

GifLzw::GifLzw(int minimumCodeSize, int rowLength, int rowCount)
    : m_valid(minimumCodeSize >= 2 && minimumCodeSize <= 8 && rowLength > 0 && rowCount > 0)
    , m_minimumCodeSize(minimumCodeSize)
    , m_clearCode(1 << minimumCodeSize)
    , m_rowLength(rowLength)
    , m_rowCount(rowCount)
{
    if (!m_valid)
        return;
    for (int code = 0; code < m_clearCode; ++code) {
        m_last[code] = m_first[code] = static_cast<std::uint8_t>(code);
        m_length[code] = 1;
    }
    m_row.resize(std::size_t(rowLength) + TableSize);
    clear();
}

void GifLzw::clear()
{
    m_codeSize = m_minimumCodeSize + 1;
    m_nextCode = m_clearCode + 2;
    m_previous = -1;
}

bool GifLzw::decode(const std::uint8_t* data, std::size_t size, const RowSink& sink)
{
    if (!m_valid)
        return false;
    for (std::size_t at = 0; at < size && !finished(); ++at) {
        m_bits |= std::uint32_t(data[at]) << m_bitCount;
        m_bitCount += 8;
        while (m_bitCount >= m_codeSize && !finished()) {
            const int code = int(m_bits & ((1u << m_codeSize) - 1));
            m_bits >>= m_codeSize;
            m_bitCount -= m_codeSize;
            if (!takeCode(code, sink))
                return false;
        }
    }
    return true;
}

bool GifLzw::takeCode(int code, const RowSink& sink)
{
    if (code == m_clearCode) {
        clear();
        return true;
    }
    if (code == m_clearCode + 1) {
        m_ended = true;
        return true;
    }
    if (m_previous < 0) {
        if (code > m_clearCode)
            return false;
    } else {
        if (code > m_nextCode)
            return false;
        // The new code is the string before plus the first byte of this one, which for a
        // code defined by this very step is the first byte of the string before.
        if (m_nextCode < TableSize) {
            const int first = code == m_nextCode ? m_first[m_previous] : m_first[code];
            m_prefix[m_nextCode] = static_cast<std::uint16_t>(m_previous);
            m_last[m_nextCode] = static_cast<std::uint8_t>(first);
            m_first[m_nextCode] = m_first[m_previous];
            m_length[m_nextCode] = static_cast<std::uint16_t>(m_length[m_previous] + 1);
            if (++m_nextCode == 1 << m_codeSize && m_codeSize < MaximumCodeSize)
                ++m_codeSize;
        }
    }
    m_previous = code;

    // The string is written back to front along its prefixes.
    const int length = m_length[code];
    std::uint8_t* out = m_row.data() + m_filled;
    for (int at = length - 1, walk = code; at >= 0; --at, walk = m_prefix[walk])
        out[at] = m_last[walk];
    m_filled += length;

    int start = 0;
    while (m_filled - start >= m_rowLength && m_rowsDone < m_rowCount) {
        sink(m_row.data() + start);
        start += m_rowLength;
        ++m_rowsDone;
    }
    if (start > 0) {
        std::memmove(m_row.data(), m_row.data() + start, std::size_t(m_filled - start));
        m_filled -= start;
    }
    return true;
}

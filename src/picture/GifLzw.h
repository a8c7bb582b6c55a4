#pragma once

// The pixels of one GIF frame from its LZW-coded data, row by row. The coded data is fed as
// it is read, in blocks of any size, and each row is handed on as soon as it is complete, so
// besides the code table only one row and the longest string a code can stand for are held.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class GifLzw {
public:
    // Takes a complete row of colour indexes.
    using RowSink = std::function<void(const std::uint8_t* row)>;

    // minimumCodeSize as the frame states it; rowLength and rowCount are the frame's size
    // in pixels. Pixels past the last row are ignored.
    GifLzw(int minimumCodeSize, int rowLength, int rowCount);

    // The memory a decoder of rows of rowLength pixels takes.
    static std::int64_t bytesFor(int rowLength)
    {
        return std::int64_t(sizeof(GifLzw)) + rowLength + TableSize;
    }

    // False when this decoder cannot take the frame: a minimum code size outside 2 to 8, or
    // an empty frame.
    bool valid() const { return m_valid; }

    // Decodes the next coded bytes, handing every completed row to sink. False when the data
    // is damaged: a code that is not yet defined, or a string where a clear code has to be.
    // Decoding stops at the end code or after the last row; more bytes are then ignored.
    bool decode(const std::uint8_t* data, std::size_t size, const RowSink& sink);

    // The rows handed on so far.
    int rowsDone() const { return m_rowsDone; }
    bool finished() const { return m_ended || m_rowsDone == m_rowCount; }

private:
    void clear();
    bool takeCode(int code, const RowSink& sink);

    static constexpr int TableSize = 4096;
    static constexpr int MaximumCodeSize = 12;

    bool m_valid = false;
    int m_minimumCodeSize = 0;
    int m_clearCode = 0;
    int m_rowLength = 0;
    int m_rowCount = 0;

    // Each code's string is its prefix code's string followed by its last byte.
    std::array<std::uint16_t, TableSize> m_prefix {};
    std::array<std::uint8_t, TableSize> m_last {};
    std::array<std::uint8_t, TableSize> m_first {};
    std::array<std::uint16_t, TableSize> m_length {};
    int m_nextCode = 0;
    int m_codeSize = 0;
    int m_previous = -1; // the code before, or -1 right after a clear code

    std::uint32_t m_bits = 0;
    int m_bitCount = 0;

    // The row being filled; room behind it for the longest string a code can stand for.
    std::vector<std::uint8_t> m_row;
    int m_filled = 0;
    int m_rowsDone = 0;
    bool m_ended = false;
};

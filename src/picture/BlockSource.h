#pragma once

// A picture file read in large blocks for the decoders that ask for a few bytes at a time
// (a PNG chunk's length, a GIF block's size): each read of the device is a system call.

#include <QIODevice>
#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

class BlockSource {
public:
    static constexpr std::size_t BlockSize = std::size_t { 64 } * 1024;

    explicit BlockSource(QIODevice& device)
        : m_device(device)
        , m_buffer(BlockSize)
    {
    }

    // Up to length bytes into data; fewer only where the file ends.
    std::size_t take(unsigned char* data, std::size_t length)
    {
        std::size_t taken = 0;
        while (taken < length && fill()) {
            const std::size_t part = std::min(length - taken, m_end - m_start);
            std::copy_n(m_buffer.data() + m_start, part, data + taken);
            m_start += part;
            taken += part;
        }
        return taken;
    }

    // All the bytes read and not yet taken, at least one unless the file has ended; they
    // count as taken.
    std::pair<const unsigned char*, std::size_t> takeBlock()
    {
        if (!fill())
            return { nullptr, 0 };
        const std::size_t start = std::exchange(m_start, m_end);
        return { m_buffer.data() + start, m_end - start };
    }

    // Whether a read found the end of the file.
    bool ranOut() const { return m_ranOut; }

private:
    bool fill()
    {
        if (m_start < m_end)
            return true;
        const qint64 got
            = m_device.read(reinterpret_cast<char*>(m_buffer.data()), qint64(m_buffer.size()));
        m_start = 0;
        m_end = std::size_t(std::max<qint64>(got, 0));
        m_ranOut = m_ranOut || m_end == 0;
        return m_end > 0;
    }

    QIODevice& m_device;
    std::vector<unsigned char> m_buffer;
    std::size_t m_start = 0;
    std::size_t m_end = 0;
    bool m_ranOut = false;
};

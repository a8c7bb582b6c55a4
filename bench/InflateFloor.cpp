#include "InflateFloor.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>
#include <zlib.h>

namespace inflatefloor {

bool inflate(const std::string& path)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file)
        return false;
    std::array<unsigned char, 8> signature {};
    static constexpr std::array<unsigned char, 8> Png
        = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n' };
    if (std::fread(signature.data(), 1, 8, file.get()) != 8 || signature != Png)
        return false;
    z_stream stream {};
    if (inflateInit(&stream) != Z_OK)
        return false;
    std::vector<unsigned char> input;
    std::vector<unsigned char> scratch(64 * 1024);
    int status = Z_OK;
    std::array<unsigned char, 8> head {};
    while (status == Z_OK && std::fread(head.data(), 1, 8, file.get()) == 8) {
        const std::uint32_t length = std::uint32_t(head[0]) << 24 | std::uint32_t(head[1]) << 16
            | std::uint32_t(head[2]) << 8 | head[3];
        if (std::memcmp(head.data() + 4, "IDAT", 4) != 0) {
            if (std::fseek(file.get(), long(length) + 4, SEEK_CUR) != 0)
                break;
            continue;
        }
        input.resize(length + 4); // the chunk and its CRC, which is not checked
        if (std::fread(input.data(), 1, input.size(), file.get()) != input.size())
            break;
        stream.next_in = input.data();
        stream.avail_in = length;
        while (status == Z_OK && stream.avail_in > 0) {
            stream.next_out = scratch.data();
            stream.avail_out = unsigned(scratch.size());
            status = ::inflate(&stream, Z_NO_FLUSH);
        }
    }
    inflateEnd(&stream);
    return status == Z_STREAM_END;
}

} // namespace inflatefloor

// The floor for a JPEG's launch: a process that does nothing but decode the picture with
// libjpeg-turbo at one eighth of its size, then writes one byte to the descriptor named by
// LUMRA_BENCH_PAINT_FD, as a launched viewer does once its picture is on the screen.
//
//   lumra_bench_jpeg_floor PICTURE

#include "JpegFloor.h"

#include <cstdlib>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 2 || !jpegfloor::decode(argv[1], 8))
        return 1;
    const char* fd = std::getenv("LUMRA_BENCH_PAINT_FD");
    const char decoded = 'p';
    return fd && ::write(std::atoi(fd), &decoded, 1) == 1 ? 0 : 1;
}

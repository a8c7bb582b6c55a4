// The picture loader on any file: it opens only pictures of at most MaxPixels, and what it
// reads has exactly the size asked for.

#include "FuzzSupport.h"
#include "picture/PictureLoader.h"

#include <fstream>

static const std::string pictureFile = fuzz::scratchFolder() / "picture";

extern "C" int LLVMFuzzerInitialize(int*, char***) { return fuzz::startApplication(); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::ofstream(pictureFile, std::ios::binary) << fuzz::Bytes { data, size }.take(size);
    PictureLoader loader;
    const QSize natural = loader.open(pictureFile) ? loader.naturalSize() : QSize();
    fuzz::check(loader.isOpen() == !natural.isEmpty()
            && qint64(natural.width()) * natural.height() <= PictureLoader::MaxPixels,
        "only a picture of at most MaxPixels opens");
    // Nothing at an empty size; shrunk into the viewer's window (261 x 176); again, since the
    // file stays open, at most 256 x 256.
    const QSize shown
        = natural.scaled(natural.boundedTo({ 261, 176 }), Qt::KeepAspectRatio).expandedTo({ 1, 1 });
    for (const QSize asked : { QSize(), shown, natural.boundedTo({ 256, 256 }) }) {
        const QImage image = loader.read(asked).image;
        fuzz::check(image.isNull() || (loader.isOpen() && image.size() == asked),
            "a picture is read at the size asked");
    }
    return 0;
}

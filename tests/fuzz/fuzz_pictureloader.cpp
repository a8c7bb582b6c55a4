// The picture loader on any file: it opens only pictures of a sensible size, and what it
// reads has exactly the size asked for. Qt is held to a small decoding budget here, so that
// a file claiming a huge picture costs little; run with a memory and a time limit.

#include "FuzzSupport.h"
#include "picture/PictureLoader.h"

#include <fstream>

namespace {

std::string pictureFile;

// The viewer's window at its designed size, 261 x 176 pixels.
const QSize Window(261, 176);

// The picture shrunk into the window with its aspect kept, at least one pixel each way.
QSize fitted(QSize natural)
{
    if (natural.width() <= Window.width() && natural.height() <= Window.height())
        return natural;
    QSize size = natural.scaled(Window, Qt::KeepAspectRatio);
    return size.expandedTo(QSize(1, 1));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // In MiB; Qt refuses to decode a picture that needs more, whatever the loader allows.
    ::setenv("QT_IMAGEIO_MAXALLOC", "64", 1);
    pictureFile = (fuzz::scratchFolder() / "picture").string();
    fuzz::startApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::ofstream(pictureFile, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

    PictureLoader loader;
    if (!loader.open(pictureFile)) {
        fuzz::check(!loader.isOpen() && loader.naturalSize().isEmpty(),
            "a file that does not open leaves nothing open");
        fuzz::check(loader.read(Window).isNull(), "nothing is read when nothing is open");
        return 0;
    }
    const QSize natural = loader.naturalSize();
    fuzz::check(!natural.isEmpty(), "an open picture has a size");
    fuzz::check(qint64(natural.width()) * natural.height() <= PictureLoader::MaxPixels,
        "an open picture is at most MaxPixels");
    fuzz::check(loader.read(QSize()).isNull(), "an empty size reads nothing");

    const QSize shown = fitted(natural);
    const QImage image = loader.read(shown);
    fuzz::check(image.isNull() || image.size() == shown, "a picture is read at the size asked");
    // Read again at the natural size while that is small: the file stays open for it.
    if (qint64(natural.width()) * natural.height() <= 256 * 256) {
        const QImage whole = loader.read(natural);
        fuzz::check(
            whole.isNull() || whole.size() == natural, "a picture is read at its natural size");
    }
    loader.close();
    fuzz::check(!loader.isOpen() && loader.read(shown).isNull(), "a closed loader reads nothing");
    return 0;
}

// The picture loader on any file: it opens only pictures of at most MaxPixels, what it reads
// has exactly the size asked for, and a decode stops within a row of being cancelled.

#include "FuzzSupport.h"
#include "picture/PictureLoader.h"

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <stop_token>
#include <thread>

static const std::string pictureFile = fuzz::scratchFolder() / "picture";

extern "C" int LLVMFuzzerInitialize(int*, char***) { return fuzz::startApplication(); }

namespace {

// Reads as the decode ahead does, cancelled if it is not done within 10 ms: a file may rightly
// claim 200 megapixels in a few bytes, and under the sanitizers such a picture takes longer
// than an input may, but its decode must still end at once when told to. By then a decode
// has allocated all it will and read hundreds of rows; the rest would only repeat them.
Decoding::Result readCancelled(PictureLoader& loader, QSize asked)
{
    Decoding::CancelFlag cancel { false };
    Decoding::Result result;
    {
        std::jthread watch([&cancel](const std::stop_token& done) {
            std::mutex mutex;
            std::condition_variable_any wait;
            std::unique_lock lock(mutex);
            wait.wait_for(lock, done, std::chrono::milliseconds(10), [] { return false; });
            cancel.store(!done.stop_requested());
        });
        result = loader.read(asked, &cancel);
    }
    fuzz::check(result.outcome != Decoding::Outcome::Cancelled || cancel.load(),
        "a decode ends as cancelled only when it was");
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::ofstream(pictureFile, std::ios::binary) << fuzz::Bytes { data, size }.take(size);
    PictureLoader loader;
    const QSize natural = loader.open(pictureFile) ? loader.naturalSize() : QSize();
    fuzz::check(loader.isOpen() == !natural.isEmpty()
            && qint64(natural.width()) * natural.height() <= PictureLoader::MaxPixels
            && natural.width() <= PictureLoader::MaxSide
            && natural.height() <= PictureLoader::MaxSide,
        "only a picture of at most MaxPixels and MaxSide opens");
    // Nothing at an empty size; shrunk into the viewer's window (261 x 176); again, since the
    // file stays open, at most 256 x 256.
    const QSize shown
        = natural.scaled(natural.boundedTo({ 261, 176 }), Qt::KeepAspectRatio).expandedTo({ 1, 1 });
    for (const QSize asked : { QSize(), shown, natural.boundedTo({ 256, 256 }) }) {
        const Decoding::Result result = readCancelled(loader, asked);
        const QImage& image = result.image;
        fuzz::check(image.isNull() == (result.outcome != Decoding::Outcome::Decoded),
            "a picture comes with its outcome");
        fuzz::check(image.isNull() || (loader.isOpen() && image.size() == asked),
            "a picture is read at the size asked");
    }
    return 0;
}

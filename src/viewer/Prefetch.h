#pragma once

// The picture the next move will most likely show, decoded on a worker thread at the size
// it will be shown while the user looks at the current one. At most one is held. It is
// shown only for the same path, and only while the file is the one decoded (the same device,
// file number, size, modification and change time); otherwise the picture is decoded afresh,
// so a replaced, rewritten or deleted file is shown as it is now.
//
// The decode ahead never holds anything up: letting it go cancels it, and the worker is one
// of Lumra's own, waited for only after the cancel, so a close ends the program at once
// whatever is being decoded.

#include "picture/Decoding.h"
#include "system/RegularFile.h"

#include <QImage>
#include <QRect>
#include <QThreadPool>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class PictureLoader;

// A picture ready for the screen: decoded at its size there, where it goes in the client
// area, and whether it was shrunk to fit.
struct PreparedPicture {
    QImage image;
    QRect place;
    bool shrunk = false;
};

class Prefetch {
public:
    // Decodes the opened picture, on the worker thread, stopping when the flag is set;
    // nothing when it cannot be decoded.
    using Decode = std::function<std::optional<PreparedPicture>(
        PictureLoader&, const Decoding::CancelFlag&)>;

    Prefetch();
    // Cancels the decode under way and waits for the worker.
    ~Prefetch();
    Prefetch(const Prefetch&) = delete;
    Prefetch& operator=(const Prefetch&) = delete;

    // Starts decoding the picture at path in place of the one held.
    void start(const std::string& path, Decode decode);

    // The picture decoded for path, waiting for its decode when that is still under way;
    // nothing when another or none is held, or its file has changed since. What was held is
    // let go either way.
    std::optional<PreparedPicture> take(const std::string& path);

    // Lets go of the picture held; a decode under way is cancelled and ends on its own.
    void drop();

    // The path held, empty when none; whether its decode has ended; and how many pictures
    // decoded ahead have been taken for the screen.
    std::string held() const;
    bool ready() const;
    int taken() const { return m_taken; }

private:
    struct Job;
    std::shared_ptr<Job> m_job;
    int m_taken = 0;
    QThreadPool m_pool;
};

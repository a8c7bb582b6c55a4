#include "viewer/Prefetch.h"

#include "picture/PictureLoader.h"

#include <condition_variable>
#include <mutex>
#include <utility>

struct Prefetch::Job {
    explicit Job(std::string picturePath)
        : path(std::move(picturePath))
    {
    }

    const std::string path;
    Decoding::CancelFlag cancel { false };
    mutable std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::optional<PreparedPicture> picture;
    std::optional<sys::RegularFile::Identity> file;
};

Prefetch::Prefetch()
{
    // One picture is decoded ahead at a time; a cancelled one ends within a row.
    m_pool.setMaxThreadCount(1);
}

Prefetch::~Prefetch()
{
    drop();
    m_pool.clear();
    m_pool.waitForDone();
}

void Prefetch::start(const std::string& path, Decode decode)
{
    drop();
    auto job = std::make_shared<Job>(path);
    m_job = job;
    // The job is shared with the worker, which keeps it alive until it is done, taken or not.
    m_pool.start([job, decode = std::move(decode)] {
        std::optional<PreparedPicture> picture;
        std::optional<sys::RegularFile::Identity> file;
        if (!job->cancel.load()) {
            PictureLoader loader;
            if (loader.open(job->path)) {
                file = loader.identity();
                picture = decode(loader, job->cancel);
            }
        }
        const std::lock_guard lock(job->mutex);
        job->picture = std::move(picture);
        job->file = file;
        job->done = true;
        job->ended.notify_all();
    });
}

std::optional<PreparedPicture> Prefetch::take(const std::string& path)
{
    const std::shared_ptr<Job> job = std::exchange(m_job, nullptr);
    if (!job || job->path != path)
        return std::nullopt;
    std::unique_lock lock(job->mutex);
    job->ended.wait(lock, [&job] { return job->done; });
    if (!job->picture)
        return std::nullopt;
    const std::optional<sys::RegularFile> now = sys::RegularFile::open(path);
    if (!now || now->identity() != job->file)
        return std::nullopt;
    ++m_taken;
    return std::move(job->picture);
}

void Prefetch::drop()
{
    if (const std::shared_ptr<Job> job = std::exchange(m_job, nullptr))
        job->cancel.store(true);
}

std::string Prefetch::held() const { return m_job ? m_job->path : std::string(); }

bool Prefetch::ready() const
{
    if (!m_job)
        return false;
    const std::lock_guard lock(m_job->mutex);
    return m_job->done;
}

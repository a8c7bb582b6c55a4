// Lumra's benchmarks: time to picture for big pictures, building the picture list of a huge
// folder, and the peak memory of showing one big picture. Each case runs several times,
// interleaved at random with its baselines, and is reported as its median against theirs:
//
//   BENCH <case> <median ms> vs <baseline> <median ms> ratio <r>
//   MEM <case> <MiB>
//
// The MEM lines are the peak resident memory of a fresh process that shows one picture once
// (lumra_bench_show), next to the same process decoding the whole picture, and the peak of
// the window before any picture.
//
// Every picture and folder is made afresh in a temporary folder. Extra Google Benchmark
// flags (--benchmark_repetitions=N, --benchmark_filter=...) are passed on.

#include "BenchData.h"
#include "InflateFloor.h"
#include "JpegFloor.h"
#include "VirtualScreen.h"
#include "viewer/Moves.h"
#include "viewer/basFindFile.h"
#include "viewer/basGeneral.h"
#include "viewer/frmLumra.h"

#include <QApplication>
#include <QDir>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <memory>
#include <poll.h>
#include <spawn.h>
#include <vector>

namespace {

struct Picture {
    std::string name; // as in the case names: "jpeg-6000x4000"
    std::string path;
    // What the format's own library alone takes, where Lumra's time is mostly that.
    enum class Floor { None, Dct, Inflate } floor = Floor::None;
};

struct Client {
    std::string name; // "window" (the designed client area) or "1920x1080"
    QSize size;
};

// One time-to-picture case: a picture into a client area, and what the real path showed.
struct ShowCase {
    std::string name;
    const Picture* picture = nullptr;
    frmLumra* viewer = nullptr;
    QSize shown; // the pixels the picture is decoded to
    QSize stored; // the picture's own size
};

constexpr const char* FullDecode = "full-decode-and-reduce";
constexpr const char* DctFloor = "libjpeg-dct-scaled-decode";
constexpr const char* InflateFloor = "zlib-inflate-alone";
constexpr const char* BareReaddir = "bare-readdir";

std::string floorName(const Picture& picture)
{
    return picture.floor == Picture::Floor::Dct ? DctFloor : InflateFloor;
}

QLabel* shownControl(const frmLumra& viewer)
{
    for (QLabel* control : viewer.imgPic)
        if (control->isVisible() || !control->isHidden())
            if (!control->pixmap().isNull())
                return control;
    return nullptr;
}

// Collects the median of every benchmark and prints nothing else, so the output is the
// BENCH and MEM lines alone; progress goes to standard error.
class MedianReporter : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.error_occurred) {
                std::fprintf(stderr, "%s failed: %s\n", run.benchmark_name().c_str(),
                    run.error_message.c_str());
                m_failed = true;
            } else if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                m_medians[run.run_name.function_name] = run.GetAdjustedRealTime();
            } else if (run.run_type == Run::RT_Iteration) {
                std::fputc('.', stderr);
            }
        }
    }
    void Finalize() override { std::fputc('\n', stderr); }

    bool failed() const { return m_failed; }
    std::optional<double> median(const std::string& name) const
    {
        const auto found = m_medians.find(name);
        if (found == m_medians.end())
            return std::nullopt;
        return found->second;
    }

private:
    std::map<std::string, double> m_medians;
    bool m_failed = false;
};

void printRatio(const MedianReporter& reporter, const std::string& name,
    const std::string& baseline, const std::string& baselineName)
{
    const auto measured = reporter.median(name);
    const auto base = reporter.median(baseline);
    if (measured && base)
        std::printf("BENCH %s %.1f vs %s %.1f ratio %.2f\n", name.c_str(), *measured,
            baselineName.c_str(), *base, *measured / *base);
}

// The real path: what the viewer does when it moves to a picture, up to the moment the
// picture is ready to paint.
void showWithViewer(benchmark::State& state, const ShowCase& show)
{
    for ([[maybe_unused]] auto _ : state) {
        show.viewer->SetPic(show.picture->path);
        benchmark::DoNotOptimize(shownControl(*show.viewer));
    }
}

// The move to the next of two pictures in list order, from the first just shown: with the
// second decoded ahead (its decode finished before the move), or with nothing held ahead.
void moveToNext(benchmark::State& state, frmLumra* viewer, const std::vector<std::string>& list,
    bool prefetched)
{
    for ([[maybe_unused]] auto _ : state) {
        state.PauseTiming();
        basGeneral::PicturePaths.clear();
        for (const std::string& path : list)
            basGeneral::AddFile(path);
        basOptions::CurrentOptions.Sorted = true;
        basOptions::CurrentOptions.Reverse = false;
        viewer->MovePic(Moves::First);
        while (!viewer->prefetched().ready())
            QThread::msleep(1);
        if (!prefetched) // a change of order, undone, lets go of the picture ahead
            viewer->mnuOptionsSorted_Click(), viewer->mnuOptionsSorted_Click();
        state.ResumeTiming();
        viewer->MovePic(Moves::Next);
        benchmark::DoNotOptimize(shownControl(*viewer));
    }
    basGeneral::PicturePaths.clear();
}

// The baseline: the whole picture decoded, then reduced smoothly to the same size.
void showFullDecode(benchmark::State& state, const ShowCase& show, QLabel* label)
{
    for ([[maybe_unused]] auto _ : state) {
        QImageReader reader(QString::fromLocal8Bit(show.picture->path));
        reader.setAutoTransform(true);
        QImage image = reader.read();
        image = image.scaled(show.shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (image.isNull()) {
            state.SkipWithError("the picture did not decode");
            break;
        }
        label->setPixmap(QPixmap::fromImage(std::move(image)));
    }
    label->clear();
}

// The floor: libjpeg-turbo alone, at the DCT scale chosen for the shown size.
void decodeDctScaled(benchmark::State& state, const ShowCase& show)
{
    const int denominator = jpegfloor::scaleDenominator(
        show.stored.width(), show.stored.height(), show.shown.width(), show.shown.height());
    for ([[maybe_unused]] auto _ : state) {
        if (!jpegfloor::decode(show.picture->path, denominator)) {
            state.SkipWithError("libjpeg did not decode the picture");
            break;
        }
    }
}

// The floor for PNG: zlib alone, inflating the picture's data.
void inflateAlone(benchmark::State& state, const ShowCase& show)
{
    for ([[maybe_unused]] auto _ : state) {
        if (!inflatefloor::inflate(show.picture->path)) {
            state.SkipWithError("zlib did not inflate the picture");
            break;
        }
    }
}

// Start-up's work for one folder: the viewer adds the folder's pictures, then the list is
// sorted. Emptying the list between runs is not part of it.
void buildPictureList(
    benchmark::State& state, frmLumra* viewer, const std::string& folder, int pictures)
{
    for ([[maybe_unused]] auto _ : state) {
        viewer->AddFolderPictures(folder);
        basGeneral::SortStrings(basGeneral::PicturePaths, true);
        state.PauseTiming();
        if (basGeneral::PictureCount() != pictures)
            state.SkipWithError("the list does not hold every picture of the folder");
        basGeneral::PicturePaths.clear();
        state.ResumeTiming();
    }
}

// The same through the search that builds the five groups from one filtered listing.
void buildPictureListInOnePass(benchmark::State& state, const std::string& folder, int pictures)
{
    for ([[maybe_unused]] auto _ : state) {
        basFindFile::FindPictureFiles(folder);
        basGeneral::SortStrings(basGeneral::PicturePaths, true);
        state.PauseTiming();
        if (basGeneral::PictureCount() != pictures)
            state.SkipWithError("the list does not hold every picture of the folder");
        basGeneral::PicturePaths.clear();
        state.ResumeTiming();
    }
}

void bareReaddir(benchmark::State& state, const std::string& folder, int entries)
{
    int count = 0;
    for ([[maybe_unused]] auto _ : state) {
        count = 0;
        DIR* dir = ::opendir(folder.c_str());
        while (::readdir(dir) != nullptr)
            benchmark::DoNotOptimize(++count);
        ::closedir(dir);
    }
    if (count != entries + 2)
        state.SkipWithError("readdir did not see every entry");
}

// A program started afresh by a launch case: its command line and its whole environment.
struct Launch {
    QStringList command;
    QStringList environment;
};

// Starts the program with a pipe as its descriptor 3 and times it from the start until it
// writes a byte there: once it has painted what it shows (see painted_signal.cpp). It is
// waited for outside the time.
void launch(benchmark::State& state, const Launch& program)
{
    std::vector<QByteArray> texts;
    const auto pointers = [&texts](const QStringList& list) {
        std::vector<char*> result;
        for (const QString& text : list)
            result.push_back(texts.emplace_back(text.toLocal8Bit()).data());
        result.push_back(nullptr);
        return result;
    };
    texts.reserve(std::size_t(program.command.size() + program.environment.size()));
    std::vector<char*> argv = pointers(program.command);
    std::vector<char*> envp = pointers(program.environment);
    for ([[maybe_unused]] auto _ : state) {
        int report[2];
        if (::pipe2(report, O_CLOEXEC) != 0) {
            state.SkipWithError("no pipe");
            break;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, report[1], 3);
        const auto start = std::chrono::steady_clock::now();
        pid_t pid = 0;
        const bool started
            = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0;
        posix_spawn_file_actions_destroy(&actions);
        ::close(report[1]);
        pollfd reply { report[0], POLLIN, 0 };
        char byte = 0;
        const bool reported
            = started && ::poll(&reply, 1, 30'000) == 1 && ::read(report[0], &byte, 1) == 1;
        const auto end = std::chrono::steady_clock::now();
        ::close(report[0]);
        if (started && !reported)
            ::kill(pid, SIGKILL);
        if (started)
            ::waitpid(pid, nullptr, 0);
        if (!reported) {
            state.SkipWithError("the program did not report that it had shown its picture");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
}

void printRatioToSum(const MedianReporter& reporter, const std::string& name,
    const std::string& first, const std::string& second)
{
    const auto measured = reporter.median(name);
    const auto one = reporter.median(first);
    const auto other = reporter.median(second);
    if (measured && one && other)
        std::printf("BENCH %s %.1f vs %s %.1f + %s %.1f ratio %.2f\n", name.c_str(), *measured,
            first.c_str(), *one, second.c_str(), *other, *measured / (*one + *other));
}

std::optional<double> peakMiB(const QStringList& arguments, double* idleMiB)
{
    QProcess helper;
    helper.setProgram(QCoreApplication::applicationDirPath() + "/lumra_bench_show");
    helper.setArguments(arguments);
    helper.start();
    if (!helper.waitForFinished(120'000) || helper.exitCode() != 0)
        return std::nullopt;
    long idle = 0;
    long peak = 0;
    if (std::sscanf(helper.readAllStandardOutput().constData(), "idle %ld peak %ld", &idle, &peak)
        != 2)
        return std::nullopt;
    if (idleMiB)
        *idleMiB = static_cast<double>(idle) / 1024.0;
    return static_cast<double>(peak) / 1024.0;
}

void writeOrDie(bool written, const std::string& path)
{
    if (!written) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir data;
    if (!data.isValid())
        return 1;
    const std::string root = data.path().toStdString();
    // Nothing here reads or writes the options, but a profile is never touched anyway.
    qputenv("HOME", QByteArray::fromStdString(root));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(root + "/.config"));
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        QDir(data.path()).mkdir("run", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(root + "/run"));
    }
    QStandardPaths::setTestModeEnabled(true);

    std::vector<char*> arguments(argv, argv + argc);
    std::vector<std::string> defaults = { "--benchmark_repetitions=7",
        "--benchmark_enable_random_interleaving=true", "--benchmark_min_time=0.2" };
    // The defaults come first, so flags given on the command line win.
    for (std::string& flag : defaults)
        arguments.insert(arguments.begin() + 1, flag.data());
    int count = static_cast<int>(arguments.size());
    QApplication app(count, arguments.data());
    benchmark::Initialize(&count, arguments.data());

    std::fprintf(stderr, "Making the pictures and the folder in %s\n", root.c_str());
    std::vector<Picture> pictures;
    {
        const QImage big = benchdata::photo(QSize(6000, 4000));
        pictures.push_back({ "jpeg-6000x4000", root + "/photo.jpg", Picture::Floor::Dct });
        writeOrDie(benchdata::writeJpeg(big, pictures.back().path, 90), pictures.back().path);
        pictures.push_back({ "png-6000x4000", root + "/photo.png", Picture::Floor::Inflate });
        writeOrDie(benchdata::writeWithQt(big, pictures.back().path, "png"), pictures.back().path);
        pictures.push_back({ "bmp-6000x4000", root + "/photo.bmp" });
        writeOrDie(benchdata::writeWithQt(big, pictures.back().path, "bmp"), pictures.back().path);
        pictures.push_back({ "gif-4000x3000", root + "/photo.gif" });
        writeOrDie(benchdata::writeGif(benchdata::photo(QSize(4000, 3000)), pictures.back().path),
            pictures.back().path);
        // The kinds Qt's readers were once left to.
        pictures.push_back(
            { "png-interlaced-6000x4000", root + "/interlaced.png", Picture::Floor::Inflate });
        writeOrDie(benchdata::writeInterlacedPng(big, pictures.back().path), pictures.back().path);
        pictures.push_back({ "bmp-rle8-6000x4000", root + "/rle8.bmp" });
        writeOrDie(benchdata::writeRle8Bmp(big, pictures.back().path), pictures.back().path);
        pictures.push_back({ "jpeg-cmyk-6000x4000", root + "/cmyk.jpg", Picture::Floor::Dct });
        writeOrDie(benchdata::writeCmykJpeg(big, pictures.back().path, 90), pictures.back().path);
    }
    for (const char* folder : { "/small", "/big" })
        writeOrDie(QDir().mkdir(QString::fromStdString(root + folder)), root + folder);
    writeOrDie(
        benchdata::writeJpeg(benchdata::photo(QSize(800, 600)), root + "/small/photo.jpg", 90),
        root + "/small/photo.jpg");
    writeOrDie(QFile::copy(QString::fromStdString(pictures[0].path),
                   QString::fromStdString(root + "/big/photo.jpg")),
        root + "/big/photo.jpg");
    constexpr int FolderSize = 100'000;
    const std::string folder = root + "/folder";
    const benchdata::FolderContents contents = benchdata::makeFolder(folder, FolderSize);

    // The designed window as it opens, and a client area that fills a full-HD screen.
    std::vector<std::unique_ptr<frmLumra>> viewers;
    std::vector<Client> clients;
    viewers.push_back(std::make_unique<frmLumra>(std::vector<std::string> {}));
    clients.push_back({ "window", viewers.back()->size() });
    viewers.push_back(std::make_unique<frmLumra>(std::vector<std::string> {}));
    viewers.back()->resize(1920, 1080);
    clients.push_back({ "1920x1080", viewers.back()->size() });
    std::fprintf(stderr, "The designed client area is %dx%d pixels\n", clients[0].size.width(),
        clients[0].size.height());
    QLabel baselineLabel;

    std::vector<ShowCase> shows;
    for (const Picture& picture : pictures) {
        for (std::size_t c = 0; c < clients.size(); ++c) {
            ShowCase show { picture.name + "-" + clients[c].name, &picture, viewers[c].get(), {},
                QImageReader(QString::fromStdString(picture.path)).size() };
            show.viewer->SetPic(picture.path);
            const QLabel* control = shownControl(*show.viewer);
            if (!control) {
                std::fprintf(stderr, "%s did not show\n", show.name.c_str());
                return 1;
            }
            show.shown = control->size() * show.viewer->devicePixelRatioF();
            shows.push_back(show);
        }
    }
    for (const ShowCase& show : shows) {
        benchmark::RegisterBenchmark(show.name.c_str(), showWithViewer, show)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark(
            (show.name + "." + FullDecode).c_str(), showFullDecode, show, &baselineLabel)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        if (show.picture->floor != Picture::Floor::None)
            benchmark::RegisterBenchmark((show.name + "." + floorName(*show.picture)).c_str(),
                show.picture->floor == Picture::Floor::Dct ? decodeDctScaled : inflateAlone, show)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
    }
    const std::string nextCase = "next-prefetched-6000x4000-jpeg";
    const std::string coldCase = "next-cold-6000x4000-jpeg";
    const std::vector<std::string> twoPhotos = { pictures[0].path, root + "/photo-2.jpg" };
    writeOrDie(
        QFile::copy(QString::fromStdString(twoPhotos[0]), QString::fromStdString(twoPhotos[1])),
        twoPhotos[1]);
    // A fixed count of moves: each is timed alone, but the picture shown first and the one
    // decoded ahead cost far more than the move, and Google Benchmark would otherwise run
    // thousands of them to fill its minimum time with the move alone.
    for (const bool prefetched : { true, false })
        benchmark::RegisterBenchmark((prefetched ? nextCase : coldCase).c_str(), moveToNext,
            viewers[0].get(), twoPhotos, prefetched)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(20);
    const std::string listCase = "folder-100000-list-and-sort";
    const std::string onePassCase = "folder-100000-one-pass-list-and-sort";
    benchmark::RegisterBenchmark(
        listCase.c_str(), buildPictureList, viewers[0].get(), folder, contents.pictures)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(
        onePassCase.c_str(), buildPictureListInOnePass, folder, contents.pictures)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(
        (listCase + "." + BareReaddir).c_str(), bareReaddir, folder, FolderSize)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();

    // Launches: the real program started on a folder of one picture, timed until the picture
    // is painted, against a bare Qt window of the designed client area's size, on a virtual
    // X screen when Xvfb is there.
    const VirtualScreen screen;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", screen.display().isEmpty() ? "offscreen" : "xcb");
    environment.insert("DISPLAY", screen.display());
    environment.insert("LUMRA_BENCH_PAINT_FD", "3");
    std::fprintf(stderr, "Launches run on %s\n",
        screen.display().isEmpty() ? "the offscreen platform (no Xvfb)" : "Xvfb");
    const QString bin = QCoreApplication::applicationDirPath();
    QProcessEnvironment floorEnvironment = environment;
    environment.insert("LD_PRELOAD", LUMRA_BENCH_PAINTED_LIBRARY);
    QProcessEnvironment windowEnvironment = environment;
    environment.insert("LUMRA_BENCH_PAINTED", "picture");
    const std::string bareCase = "launch-bare-qt-window";
    const std::string floorCase = "launch-6000x4000-jpeg.bare-eighth-decode";
    const std::vector<std::pair<std::string, Launch>> launches = {
        { bareCase,
            { { bin + "/lumra_bench_bare_window", QString::number(clients[0].size.width()),
                  QString::number(clients[0].size.height()) },
                windowEnvironment.toStringList() } },
        { "launch-800x600-jpeg",
            { { LUMRA_PROGRAM, QString::fromStdString(root + "/small") },
                environment.toStringList() } },
        { "launch-6000x4000-jpeg",
            { { LUMRA_PROGRAM, QString::fromStdString(root + "/big") },
                environment.toStringList() } },
        { floorCase,
            { { bin + "/lumra_bench_jpeg_floor", QString::fromStdString(root + "/big/photo.jpg") },
                floorEnvironment.toStringList() } },
    };
    for (const auto& [name, program] : launches)
        benchmark::RegisterBenchmark(name.c_str(), launch, program)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime();

    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    for (const ShowCase& show : shows) {
        printRatio(reporter, show.name, show.name + "." + FullDecode, FullDecode);
        if (show.picture->floor != Picture::Floor::None)
            printRatio(reporter, show.name, show.name + "." + floorName(*show.picture),
                floorName(*show.picture));
    }
    printRatio(reporter, nextCase, coldCase, coldCase);
    printRatio(reporter, listCase, listCase + "." + BareReaddir, BareReaddir);
    printRatio(reporter, onePassCase, listCase + "." + BareReaddir, BareReaddir);
    printRatio(reporter, launches[1].first, bareCase, bareCase);
    printRatioToSum(reporter, launches[2].first, bareCase, floorCase);
    std::fflush(stdout);

    // Peak memory, each picture shown once in a fresh process into the designed window,
    // and the same with the whole picture decoded and then reduced.
    bool memoryFailed = false;
    std::optional<double> idle;
    for (const ShowCase& show : shows) {
        if (show.viewer != viewers[0].get())
            continue;
        const QString path = QString::fromStdString(show.picture->path);
        const QString width = QString::number(clients[0].size.width());
        const QString height = QString::number(clients[0].size.height());
        double before = 0;
        const auto peak = peakMiB({ path, width, height }, &before);
        const auto full
            = peakMiB({ path, width, height, "full", QString::number(show.shown.width()),
                          QString::number(show.shown.height()) },
                nullptr);
        if (!peak || !full) {
            std::fprintf(stderr, "the memory of %s could not be measured\n", show.name.c_str());
            memoryFailed = true;
            continue;
        }
        if (!idle) {
            idle = before;
            std::printf("MEM window-before-any-picture %.1f\n", *idle);
        }
        std::printf("MEM %s %.1f\n", show.name.c_str(), *peak);
        std::printf("MEM %s.%s %.1f\n", show.name.c_str(), FullDecode, *full);
    }
    return reporter.failed() || memoryFailed ? 1 : 0;
}

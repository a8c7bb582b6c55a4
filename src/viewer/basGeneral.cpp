#include "viewer/basGeneral.h"

#include "platform/zbasErrorTrap.h"
#include "system/System.h"

#include <QCoreApplication>
#include <QString>
#include <QTime>
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string_view>
#include <vector>

using namespace zbasErrorTrap;

namespace basGeneral {

TextArray PicturePaths;
std::string AppFolder;

const std::string& TextArray::at(std::int32_t index) const
{
    if (index < 1 || index > count())
        Raise(SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
    return m_items[static_cast<std::size_t>(index - 1)];
}

std::string& TextArray::at(std::int32_t index)
{
    return const_cast<std::string&>(std::as_const(*this).at(index));
}

const std::string& Separator()
{
    static const std::string separator = sys::PathSeparator;
    return separator;
}

std::string ProgramFolder()
{
    std::string folder = QCoreApplication::applicationDirPath().toLocal8Bit().toStdString();
    if (folder.empty() || folder.back() != Separator().back())
        folder += Separator();
    return folder;
}

bool PathExists(const std::string& path) { return sys::attributesOf(path).has_value(); }

bool FolderExists(const std::string& path)
{
    const auto attributes = sys::attributesOf(path);
    return attributes && attributes->directory;
}

std::string StripEnds(std::string text, const std::string& part)
{
    if (part.empty())
        return text;
    std::size_t begin = 0;
    while (text.compare(begin, part.size(), part) == 0)
        begin += part.size();
    std::size_t end = text.size();
    while (end >= begin + part.size() && text.compare(end - part.size(), part.size(), part) == 0)
        end -= part.size();
    return text.substr(begin, end - begin);
}

void AddFile(const std::string& path) { PicturePaths.append(path); }

void RemoveFile(const std::string& path)
{
    Handler::brief()([&] {
        if (const std::optional<int> failure = sys::removeFile(path))
            RaiseSystemError(*failure);
    });
}

std::string GetFileName(const std::string& path)
{
    std::string name;
    if (!Handler::brief()([&] {
            const std::size_t cut = path.rfind(Separator().back());
            name = cut == std::string::npos ? path : path.substr(cut + 1);
        }))
        return {};
    return name;
}

std::int32_t RandomBetween(std::int32_t lo, std::int32_t hi)
{
    static std::mt19937 generator;
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    auto onError = Handler::brief();
    std::int32_t result = 0;
    onError([&] {
        // Reseed from the first draw times the seconds since midnight, as a float.
        const double secondsToday = QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
        const float seed = static_cast<float>(unit(generator) * secondsToday);
        generator.seed(std::bit_cast<std::uint32_t>(seed));
    });
    onError([&] {
        const double r = unit(generator);
        result = static_cast<std::int32_t>(std::floor((static_cast<double>(hi) - lo + 1) * r + lo));
    });
    return result;
}

namespace {

// Compares by character code: the bytes of the names taken as unsigned, the shorter text
// first when one begins the other.
int compareExact(const std::string& a, const std::string& b) { return a.compare(b); }

QString upperForm(const std::string& text) { return QString::fromUtf8(text).toUpper(); }

int compareUpper(const std::string& a, const std::string& b)
{
    return QString::compare(upperForm(a), upperForm(b), Qt::CaseSensitive);
}

// The quicksort with the middle entry's text as pivot. It recurses into the smaller part
// and loops over the larger one, which sorts exactly the same ranges but keeps the stack
// shallow whatever the input.
void quickSort(TextArray& items, bool caseSensitive, std::int32_t low, std::int32_t high)
{
    const auto compare = caseSensitive ? compareExact : compareUpper;
    while (high > low) {
        const std::string pivot = items.at(low + (high - low) / 2);
        std::int32_t i = low;
        std::int32_t j = high;
        while (i <= j) {
            const bool belowPivot = compare(items.at(i), pivot) < 0;
            const bool abovePivot = compare(items.at(j), pivot) > 0;
            if (belowPivot || abovePivot) {
                if (belowPivot)
                    ++i;
                if (abovePivot)
                    --j;
            } else {
                std::swap(items.at(i), items.at(j));
                ++i;
                --j;
            }
        }
        if (j - low < high - i) {
            quickSort(items, caseSensitive, low, j);
            low = i;
        } else {
            quickSort(items, caseSensitive, i, high);
            high = j;
        }
    }
}

// Sorts texts by their bytes. The list's paths share long beginnings (the folder), so the
// common beginning is left out and the rest of every text is copied side by side into one
// buffer: the comparisons then read little memory, and that memory is close together.
void sortByBytes(std::string* first, std::string* last)
{
    const std::size_t count = static_cast<std::size_t>(last - first);
    std::size_t common = first->size();
    std::size_t total = 0;
    for (const std::string* text = first; text != last; ++text) {
        const auto differ = std::mismatch(first->begin(),
            first->begin() + static_cast<std::ptrdiff_t>(std::min(common, text->size())),
            text->begin());
        common = static_cast<std::size_t>(differ.first - first->begin());
        total += text->size();
    }
    struct Span {
        std::uint64_t head; // the first eight bytes of the rest, as one number that orders alike
        std::size_t at;
        std::size_t size;
        std::size_t index;
    };
    std::string rests(total - common * count, '\0');
    std::vector<Span> spans;
    spans.reserve(count);
    std::size_t at = 0;
    for (std::size_t index = 0; index < count; ++index) {
        const std::string& text = first[index];
        const std::size_t size = text.size() - common;
        text.copy(rests.data() + at, size, common);
        Span span { 0, at, size, index };
        for (std::size_t k = 0; k < 8; ++k)
            span.head
                = span.head << 8 | (k < size ? static_cast<unsigned char>(rests[at + k]) : 0u);
        spans.push_back(span);
        at += size;
    }
    const char* all = rests.data();
    std::sort(spans.begin(), spans.end(), [all](const Span& a, const Span& b) {
        if (a.head != b.head)
            return a.head < b.head;
        return std::string_view(all + a.at, a.size) < std::string_view(all + b.at, b.size);
    });
    std::vector<std::string> sorted;
    sorted.reserve(count);
    for (const Span& span : spans)
        sorted.push_back(std::move(first[span.index]));
    std::move(sorted.begin(), sorted.end(), first);
}

} // namespace

void SortStrings(TextArray& items, bool caseSensitive, std::optional<std::int32_t> low,
    std::optional<std::int32_t> high)
{
    if (!items.hasStorage())
        return;
    if (!low || !high) {
        low = items.lowerBound();
        high = items.upperBound();
    }
    Handler::brief()([&] {
        // By character code, texts that compare equal are the same text, so every correct
        // sort gives the very order the quicksort gives, and a faster one may be used. A
        // range reaching outside the array keeps the quicksort, which reports it.
        if (caseSensitive && *low >= items.lowerBound() && *high <= items.upperBound()) {
            if (*high > *low)
                sortByBytes(&items.at(*low), &items.at(*high) + 1);
            return;
        }
        quickSort(items, caseSensitive, *low, *high);
    });
}

} // namespace basGeneral

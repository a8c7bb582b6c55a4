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
        Raise(SubscriptOutOfRange);
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
    return sys::nativeFolder(QCoreApplication::applicationDirPath().toLocal8Bit().toStdString());
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

template <bool foldCase> void sortPacked(std::vector<std::string*>& texts)
{
    const auto fold = [](char c) { return foldCase ? asciiUpper(c) : c; };
    // Texts to sort share long beginnings (a folder, a stem), so the common beginning is
    // left out and the rest of every text is copied side by side, folded, into one buffer:
    // the comparisons then read little memory, and that memory is close together.
    std::size_t common = texts.empty() ? 0 : texts.front()->size();
    std::size_t total = 0;
    for (const std::string* text : texts) {
        const std::string_view begin = std::string_view(*text).substr(0, common);
        common = static_cast<std::size_t>(
            std::mismatch(begin.begin(), begin.end(), texts.front()->begin(),
                [&fold](char a, char b) { return fold(a) == fold(b); })
                .first
            - begin.begin());
        total += text->size();
    }
    struct Span {
        std::uint64_t head; // the first eight bytes of the rest, as one number that orders alike
        std::size_t at;
        std::size_t size;
        std::string* text;
    };
    std::string rests(total - common * texts.size(), '\0');
    std::vector<Span> spans;
    spans.reserve(texts.size());
    std::size_t at = 0;
    for (std::string* text : texts) {
        const std::string_view rest = std::string_view(*text).substr(common);
        if constexpr (foldCase)
            std::transform(rest.begin(), rest.end(), rests.data() + at, fold);
        else
            rest.copy(rests.data() + at, rest.size());
        Span span { 0, at, rest.size(), text };
        for (std::size_t k = 0; k < 8; ++k)
            span.head = span.head << 8
                | (k < rest.size() ? static_cast<unsigned char>(rests[at + k]) : 0u);
        spans.push_back(span);
        at += rest.size();
    }
    const char* all = rests.data();
    std::sort(spans.begin(), spans.end(), [all](const Span& a, const Span& b) {
        if (a.head != b.head)
            return a.head < b.head;
        const int order
            = std::string_view(all + a.at, a.size).compare(std::string_view(all + b.at, b.size));
        return order != 0 ? order < 0 : *a.text < *b.text;
    });
    for (std::size_t k = 0; k < spans.size(); ++k)
        texts[k] = spans[k].text;
}

} // namespace

void sortByBytes(std::vector<std::string*>& texts, bool foldCase)
{
    if (foldCase)
        sortPacked<true>(texts);
    else
        sortPacked<false>(texts);
}

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
            if (*high <= *low)
                return;
            std::vector<std::string*> texts;
            texts.reserve(static_cast<std::size_t>(*high - *low) + 1);
            for (std::int32_t index = *low; index <= *high; ++index)
                texts.push_back(&items.at(index));
            sortByBytes(texts, false);
            std::vector<std::string> sorted;
            sorted.reserve(texts.size());
            for (std::string* text : texts)
                sorted.push_back(std::move(*text));
            std::move(sorted.begin(), sorted.end(), &items.at(*low));
            return;
        }
        quickSort(items, caseSensitive, *low, *high);
    });
}

} // namespace basGeneral

// The command line: any text splits into arguments without a crash, every accepted argument
// names something that exists, no item is made up, items keep the order of the line, and
// the line the system would pass for the accepted arguments reads back as them.

#include "FuzzSupport.h"
#include "viewer/CommandLine.h"

#include <ctime>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

bool exists(const std::string& path)
{
    struct stat info { };
    return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

bool isSeparator(char c) { return c == ' ' || c == '\t' || c == ',' || c == ';'; }

// The line after the separators became spaces and the ends were cut, as the items are
// taken from it.
std::string normalised(std::string line)
{
    for (char& c : line)
        if (c == '\t' || c == ',' || c == ';')
            c = ' ';
    const std::size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return line.substr(first, line.find_last_not_of(' ') - first + 1);
}

std::vector<std::string> parse(const std::string& line, std::vector<std::string>* invalid)
{
    return CommandLine::arguments(line, [&](const std::string& item) {
        if (invalid)
            invalid->push_back(item);
    });
}

// However many quotes and spaces a line holds, it is read in time that grows with its
// length. A megabyte of the worst shapes takes well under a second; anything that copies
// the rest of the line per item would take minutes. The time counted is the processor's
// time of this process, so a machine busy with other work does not trip the bound.
void checkLongLinesStayLinear()
{
    const std::vector<std::string> pieces = { "\"a ", " ", "\"", "\" ", "a\" ", "\"\"a ", ",;\t" };
    for (const std::string& piece : pieces) {
        std::string line;
        while (line.size() < (1u << 20))
            line += piece;
        const std::clock_t start = std::clock();
        parse(line, nullptr);
        const double seconds = double(std::clock() - start) / CLOCKS_PER_SEC;
        fuzz::check(seconds < 10, "a long line is read in linear time", "piece \"" + piece + "\"");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Relative names on the line are looked up in a folder of known names. None of them is
    // two others joined by a space, so that joining arguments never names a third.
    const std::filesystem::path& folder = fuzz::scratchFolder();
    for (const char* name : { "a", "b", "My Pictures", "q r s", "x.y", "a/deep" })
        fuzz::makeFolder(folder / name);
    std::ofstream(folder / "p.jpg") << "picture";
    std::ofstream(folder / "a" / "2 words.png") << "picture";
    if (::chdir(folder.c_str()) != 0)
        fuzz::fail("the scratch folder can be entered");
    checkLongLinesStayLinear();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The system hands a program its command line as a C string: no zero inside.
    std::string line(reinterpret_cast<const char*>(data), size);
    line.resize(std::min(line.size(), line.find('\0')));

    std::vector<std::string> invalid;
    const std::vector<std::string> accepted = parse(line, &invalid);

    const std::string items = normalised(line);
    const std::size_t itemCount = items.empty()
        ? 0
        : static_cast<std::size_t>(std::count(items.begin(), items.end(), ' ')) + 1;
    fuzz::check(accepted.size() + invalid.size() <= itemCount, "no more arguments than items");

    if (!items.empty() && exists(items)) {
        fuzz::check(accepted.size() == 1 && accepted[0] == items && invalid.empty(),
            "a line that names something is one argument", items);
        return 0;
    }

    // Accepted and refused items alike are pieces of the line, in its order.
    std::size_t from = 0;
    for (const std::string& item : accepted) {
        fuzz::check(!item.empty() && item.front() != ' ' && item.back() != ' ',
            "an argument is trimmed", item);
        fuzz::check(std::none_of(item.begin(), item.end(),
                        [](char c) { return c != ' ' && isSeparator(c); }),
            "an argument holds no separator", item);
        fuzz::check(exists(item), "every argument names an existing file or folder", item);
        const std::size_t at = items.find(item, from);
        fuzz::check(at != std::string::npos, "an argument is a piece of the line, in order", item);
        from = at + item.size();
    }
    from = 0;
    for (const std::string& item : invalid) {
        fuzz::check(!item.empty() && item.front() != ' ' && item.back() != ' ',
            "a refused item is trimmed", item);
        fuzz::check(!exists(item), "only items that name nothing are refused", item);
        const std::size_t at = items.find(item, from);
        fuzz::check(
            at != std::string::npos, "a refused item is a piece of the line, in order", item);
        from = at + item.size();
    }

    // What the system would pass for these arguments reads back as them. A single argument
    // that holds a quote and a space cannot be told from a quoted name; none of the known
    // names holds a quote, so an accepted argument with one is a path like a/"/.., left out.
    const bool quoteInside = std::any_of(accepted.begin(), accepted.end(),
        [](const std::string& item) { return item.find('"') != std::string::npos; });
    if (!accepted.empty() && !quoteInside) {
        std::vector<std::string> again = parse(CommandLine::text(accepted), nullptr);
        fuzz::check(again == accepted, "the line made of the arguments reads back as them",
            CommandLine::text(accepted));
    }
    return 0;
}

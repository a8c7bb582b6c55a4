// The command line: every item taken from it is a trimmed piece of the line, in order, and
// accepted exactly when it names something; the line made of the accepted arguments reads
// back as them; a long line is read in linear time.

#include "FuzzSupport.h"
#include "viewer/CommandLine.h"

#include <ctime>
#include <fstream>
#include <unistd.h>

using Items = std::vector<std::string>;

static Items refused;

static Items parse(const std::string& line)
{
    refused.clear();
    return CommandLine::arguments(line, [](const std::string& item) { refused.push_back(item); });
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // No known name is two others joined by a space, so joining arguments never names a third.
    fuzz::check(::chdir(fuzz::scratchFolder().c_str()) == 0, "the scratch folder can be entered");
    for (const char* name : { "a/deep", "b", "My Pictures", "q r s", "x.y" })
        fuzz::fs::create_directories(name);
    std::ofstream("p.jpg") << "picture";
    std::ofstream("a/2 words.png") << "picture";
    // A megabyte of the worst shapes takes well under a second; copying the rest of the line
    // per item would take minutes. Process time, so that a busy machine does not trip it.
    for (const std::string piece : { "\"a ", " ", "\"", "\" ", "a\" ", "\"\"a ", ",;\t" }) {
        const std::clock_t start = std::clock();
        parse(QByteArray::fromStdString(piece).repeated((1 << 20) / piece.size()).toStdString());
        fuzz::check(std::clock() - start < 10 * CLOCKS_PER_SEC,
            "a long line is read in linear time", piece);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The system hands a program its command line as a C string.
    std::string line(reinterpret_cast<const char*>(data), std::find(data, data + size, 0) - data);
    Items accepted = parse(line);
    // The line as the items are taken from it: separators made spaces, the ends cut.
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\t' || c == ',' || c == ';'; }, ' ');
    line.erase(0, line.find_first_not_of(' '));
    line.erase(line.find_last_not_of(' ') + 1);
    const auto exists = [](const std::string& path) { return ::access(path.c_str(), F_OK) == 0; };
    fuzz::check(!exists(line) || (accepted == Items { line } && refused.empty()),
        "a line that names something is one argument");
    bool quote = false;
    for (const Items* items : { &accepted, &refused }) {
        std::size_t from = 0;
        for (const std::string& item : *items) {
            from = line.find(item, from);
            fuzz::check(!item.empty() && item.front() != ' ' && item.back() != ' '
                    && from != std::string::npos && exists(item) == (items == &accepted),
                "an item is a trimmed piece of the line, accepted when it exists", item);
            from += item.size();
            quote = quote || (items == &accepted && item.find('"') != std::string::npos);
        }
    }
    // An argument with a quote and a space cannot be told from a quoted name; no known name
    // holds a quote, so such an argument is a path like a/"/.., left out.
    fuzz::check(quote || parse(CommandLine::text(accepted)) == accepted,
        "the arguments' line reads back as them");
    return 0;
}

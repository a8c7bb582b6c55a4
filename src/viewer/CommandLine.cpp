#include "viewer/CommandLine.h"

#include "viewer/basGeneral.h"

using basGeneral::PathExists;
using basGeneral::StripEnds;

namespace CommandLine {

std::string text(const std::vector<std::string>& arguments)
{
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty())
            line += ' ';
        if (argument.find_first_of(" \t") != std::string::npos)
            line += '"' + argument + '"';
        else
            line += argument;
    }
    return line;
}

std::vector<std::string> arguments(
    const std::string& commandLine, const std::function<void(const std::string&)>& invalid)
{
    std::vector<std::string> accepted;
    std::string line = commandLine;
    for (char& c : line)
        if (c == '\t' || c == ',' || c == ';')
            c = ' ';
    line = StripEnds(line, " ");
    if (line.empty())
        return accepted;

    if (PathExists(line)) {
        accepted.push_back(line);
        return accepted;
    }

    std::vector<std::string> items;
    std::size_t start = 0;
    for (;;) {
        const std::size_t space = line.find(' ', start);
        items.push_back(line.substr(start, space - start));
        if (space == std::string::npos)
            break;
        start = space + 1;
    }

    // A quoted name that held spaces is joined into the item where its closing quote
    // stands. An opening quote on the last item has nothing to join; it is taken as a
    // name without the quote.
    for (std::size_t i = 0; i + 1 < items.size(); ++i) {
        std::string& item = items[i];
        if (!item.empty() && item.front() == '"' && item.back() != '"') {
            item += ' ';
            item += items[i + 1];
            items[i + 1] = std::move(item);
            item.clear();
        }
    }

    for (const std::string& raw : items) {
        std::string item = StripEnds(StripEnds(raw, "\""), " ");
        if (item.empty())
            continue;
        if (PathExists(item))
            accepted.push_back(std::move(item));
        else
            invalid(item);
    }
    return accepted;
}

} // namespace CommandLine

#include "text/DialogResults.h"

namespace vex {

namespace {
std::vector<std::string> split(const std::string &s, char sep)
{
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    while (true) {
        const auto at = s.find(sep, start);
        parts.push_back(s.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos)
            break;
        start = at + 1;
    }
    return parts;
}

std::string folderOf(const std::string &path)
{
    const auto at = path.find_last_of('/');
    return at == std::string::npos ? std::string() : path.substr(0, at);
}

std::string nameOf(const std::string &path)
{
    const auto at = path.find_last_of('/');
    return at == std::string::npos ? path : path.substr(at + 1);
}
} // namespace

std::vector<FilterPair> parseFilter(const std::string &filter)
{
    std::vector<FilterPair> pairs;
    if (filter.empty())
        return pairs;
    const std::vector<std::string> parts = split(filter, '|');
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2)
        pairs.push_back({parts[i], parts[i + 1]});
    return pairs;
}

std::string dialogNameFilter(const FilterPair &pair)
{
    std::string patterns;
    for (const std::string &p : split(pair.Patterns, ';')) {
        if (p.empty())
            continue;
        if (!patterns.empty())
            patterns += ' ';
        patterns += p;
    }
    // Descriptions that name their patterns already ("Text File (*.txt)")
    // would otherwise show them twice; the toolkit reads the patterns in the
    // last parentheses, separated by spaces.
    std::string description = pair.Description;
    for (const std::string &named : {" (" + pair.Patterns + ")", " (" + patterns + ")"}) {
        if (description.size() >= named.size() &&
            description.compare(description.size() - named.size(), named.size(), named) == 0) {
            description.resize(description.size() - named.size());
            break;
        }
    }
    return description + " (" + patterns + ")";
}

std::string filterSuffix(const FilterPair &pair, const std::string &fallback)
{
    const std::string first = pair.Patterns.substr(0, pair.Patterns.find(';'));
    if (first.size() < 3 || first.compare(0, 2, "*.") != 0 || first.find_first_of("*?[", 2) != std::string::npos)
        return fallback;
    return first.substr(2);
}

FileDialogResult composeFileResult(const std::vector<std::string> &chosen)
{
    FileDialogResult result;
    if (chosen.empty())
        return result;
    if (chosen.size() == 1) {
        result.FileName = chosen.front();
        result.FileTitle = nameOf(chosen.front());
        result.Path = folderOf(chosen.front());
        return result;
    }
    result.Path = folderOf(chosen.front());
    result.FileName = result.Path;
    for (const std::string &file : chosen) {
        result.FileName += '\0';
        result.FileName += nameOf(file);
    }
    return result;
}

std::vector<std::string> splitFileResult(const std::string &fileName)
{
    if (fileName.find('\0') == std::string::npos)
        return fileName.empty() ? std::vector<std::string>{} : std::vector<std::string>{fileName};
    std::vector<std::string> parts = split(fileName, '\0');
    std::vector<std::string> paths;
    const std::string folder = parts.front();
    for (std::size_t i = 1; i < parts.size(); ++i)
        if (!parts[i].empty())
            paths.push_back(folder.empty() || folder.back() == '/' ? folder + parts[i] : folder + "/" + parts[i]);
    return paths;
}

} // namespace vex

#include "cli/NearestName.h"

#include <CLI/CLI.hpp>
#include <algorithm>

namespace qv::cli {
namespace {

std::size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

std::string NearestName(const std::string& typed, const std::vector<std::string>& names) {
    std::string nearest;
    std::size_t best = 3;
    for (const std::string& name : names)
        if (const std::size_t distance = EditDistance(typed, name); distance < best) {
            best = distance;
            nearest = name;
        }
    return nearest;
}

std::vector<std::string> CommandNames(const CLI::App& command) {
    std::vector<std::string> names;
    for (const CLI::App* sub : command.get_subcommands({})) names.push_back(sub->get_name());
    return names;
}

std::string JoinedNames(const std::vector<std::string>& names) {
    std::string joined;
    for (const std::string& name : names) joined += (joined.empty() ? "" : ", ") + name;
    return joined;
}

std::string DidYouMean(const std::string& typed, const std::vector<std::string>& names) {
    const std::string nearest = NearestName(typed, names);
    return nearest.empty() ? std::string() : "; did you mean '" + nearest + "'?";
}

}  // namespace qv::cli

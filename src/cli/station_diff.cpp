#include "station_diff.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

namespace quillmark::cli {

namespace {

using ojson = nlohmann::ordered_json;
using Flat = std::vector<std::pair<std::string, ojson>>;

// AF lists compare as one field: a list that grew or shrank is one change, not one per entry.
bool isWholeField(const std::string& key) {
    return key == "af" || key == "af_unused";
}

void flatten(const ojson& v, const std::string& path, const std::string& key, Flat& out) {
    if (v.is_object()) {
        for (const auto& item : v.items())
            flatten(item.value(), path.empty() ? item.key() : path + "." + item.key(), item.key(),
                    out);
    } else if (v.is_array() && !isWholeField(key)) {
        for (std::size_t i = 0; i < v.size(); ++i)
            flatten(v[i], path + "[" + std::to_string(i) + "]", key, out);
    } else {
        out.emplace_back(path, v);
    }
}

// Paths of both sides in document order: one side's extra fields follow the field before them.
std::vector<std::string> unitedPaths(const Flat& left, const Flat& right) {
    std::vector<std::string> paths;
    for (const auto& entry : left)
        paths.push_back(entry.first);
    std::set<std::string> inRight;
    for (const auto& entry : right)
        inRight.insert(entry.first);
    auto insertAt = paths.begin();
    for (const auto& [path, value] : right) {
        const auto found = std::find(paths.begin(), paths.end(), path);
        if (found != paths.end()) {
            insertAt = found + 1;
            continue;
        }
        // After the fields only the left side has, so a replaced field reads old, then new.
        while (insertAt != paths.end() && !inRight.count(*insertAt))
            ++insertAt;
        insertAt = paths.insert(insertAt, path) + 1;
    }
    return paths;
}

} // namespace

std::vector<Difference> differingFields(const Station& a, const Station& b) {
    Flat left;
    Flat right;
    flatten(stationToJson(a), "", "", left);
    flatten(stationToJson(b), "", "", right);
    const std::map<std::string, ojson> leftByPath(left.begin(), left.end());
    const std::map<std::string, ojson> rightByPath(right.begin(), right.end());
    std::vector<Difference> found;
    for (const std::string& path : unitedPaths(left, right)) {
        const auto l = leftByPath.find(path);
        const auto r = rightByPath.find(path);
        Difference d{path, l == leftByPath.end() ? ojson() : l->second,
                     r == rightByPath.end() ? ojson() : r->second, l != leftByPath.end(),
                     r != rightByPath.end()};
        if (d.inA != d.inB || d.a != d.b)
            found.push_back(std::move(d));
    }
    return found;
}

std::vector<std::string> stationDifferences(const Station& a, const Station& b) {
    std::vector<std::string> lines;
    for (const Difference& d : differingFields(a, b))
        lines.push_back(d.field + ": " + (d.inA ? d.a.dump() : "(absent)") + " -> " +
                        (d.inB ? d.b.dump() : "(absent)"));
    return lines;
}

ojson differencesJson(const Station& a, const Station& b) {
    ojson list = ojson::array();
    for (const Difference& d : differingFields(a, b)) {
        ojson entry{{"field", d.field}};
        if (d.inA)
            entry["a"] = d.a;
        if (d.inB)
            entry["b"] = d.b;
        list.push_back(std::move(entry));
    }
    return {{"equal", list.empty()}, {"differences", std::move(list)}};
}

} // namespace quillmark::cli

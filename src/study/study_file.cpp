#include "study/study_file.hpp"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include <toml++/toml.h>

#include "files/body_file.hpp"
#include "body/key_suggestion.hpp"
#include "files/toml_document.hpp"
#include "body/presets.hpp"
#include "files/body_source.hpp"
#include "files/printable_text.hpp"
#include "study/points_csv.hpp"

namespace tidal {

namespace {

struct Failure {
    std::string message;
};

// The keys of a study file besides the sections of a body file.
constexpr const char* kStudyKeys =
    "base, base_file, points, method, point_directories and [axes]";

std::string located(const std::string& path, const toml::node& n) {
    const auto line = n.source().begin.line;
    return line > 0 ? path + ":" + std::to_string(line) : path;
}

// A TOML value written back as TOML text, doubles in their shortest exact form.
std::string value_text(const toml::node& n, const std::string& where) {
    if (const auto* i = n.as_integer()) return std::to_string(i->get());
    // Kept a float, so that a key wanting an integer still refuses it.
    if (const auto* f = n.as_floating_point()) return toml_real(f->get());
    if (const auto* b = n.as_boolean()) return b->get() ? "true" : "false";
    if (const auto* s = n.as_string()) return toml_string(s->get());
    if (const auto* a = n.as_array()) {
        std::string out = "[";
        for (std::size_t i = 0; i < a->size(); ++i)
            out += (i > 0 ? ", " : "") + value_text(*a->get(i), where);
        return out + "]";
    }
    throw Failure{where + ": expected a number, a boolean, a text or an array"};
}

// A body error as part of a study's message: the --set form of the offending key is the
// point's own key here.
std::string body_message(std::string m) {
    if (m.starts_with("--set ")) m.erase(0, 6);
    return m;
}

// A path named in the study file, taken from the study file's directory when relative.
std::string beside(const std::string& study_path, const std::string& name) {
    if (name.starts_with("/")) return name;
    const auto slash = study_path.rfind('/');
    return slash == std::string::npos ? name : study_path.substr(0, slash + 1) + name;
}

// The body keys under `key` (a value, or a section and the sections within it) as --set
// overrides, KEY=VALUE.
void body_keys(const std::string& key, const toml::node& node, const std::string& path,
               std::vector<std::string>& overrides) {
    if (const auto* section = node.as_table()) {
        for (const auto& [leaf, value] : *section)
            body_keys(key + "." + std::string(leaf.str()), value, path, overrides);
    } else {
        overrides.push_back(key + "=" + value_text(node, located(path, node)));
    }
}

// The base body of the study, with the study's own body sections applied.
Body base_body(const toml::table& doc, const std::string& path, const std::string& file_path) {
    const toml::node* base = doc.get("base");
    const toml::node* file = doc.get("base_file");
    if (base != nullptr && file != nullptr)
        throw Failure{located(path, *file) + ": base and base_file name two bodies; give one"};
    if (base == nullptr && file == nullptr)
        throw Failure{path +
                      ": no base body: give base = N (a preset, 1-8) or base_file = \"FILE\""};
    Body body_spec;
    std::string source;
    if (base != nullptr) {
        const auto* n = base->as_integer();
        if (n == nullptr || n->get() < kFirstChoice || n->get() > kLastChoice)
            throw Failure{located(path, *base) + ": base: expected a preset number from 1 to 8"};
        body_spec = preset(static_cast<int>(n->get())).body_spec;
    } else {
        const auto* name = file->as_string();
        if (name == nullptr || name->get().empty())
            throw Failure{located(path, *file) + ": base_file: expected a file name"};
        auto read = read_body_file(beside(file_path, name->get()), {});
        if (auto* e = std::get_if<BodyError>(&read)) throw Failure{e->message};
        body_spec = std::get<Body>(std::move(read));
    }

    // Every other key is a key of the body, replaced for all points.
    std::vector<std::string> overrides;
    for (const auto& [name, node] : doc) {
        const std::string top(name.str());
        if (top == "base" || top == "base_file" || top == "points" || top == "axes" ||
            top == "method" || top == "point_directories")
            continue;
        body_keys(top, node, path, overrides);
    }
    if (overrides.empty()) return body_spec;
    auto changed = override_body(body_spec, path, overrides);
    if (auto* e = std::get_if<BodyError>(&changed))
        throw Failure{path + ": " + body_message(e->message)};
    return std::get<Body>(std::move(changed));
}

// Points from [axes]: the Cartesian product, the first axis (in the file) varying slowest.
void axis_points(const toml::table& axes, const std::string& path, Study& study,
                 std::vector<std::string>& where) {
    std::vector<std::pair<std::string, const toml::array*>> list;
    for (const auto& [name, node] : axes) {
        const auto* values = node.as_array();
        if (values == nullptr || values->empty())
            throw Failure{located(path, node) + ": axes." + std::string(name.str()) +
                          ": expected an array of one or more values"};
        list.emplace_back(std::string(name.str()), values);
    }
    if (list.empty()) throw Failure{located(path, axes) + ": [axes] names no key"};
    // The table is kept sorted by name: restore the order of the file.
    std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) {
        const auto &sa = a.second->source().begin, &sb = b.second->source().begin;
        return sa.line != sb.line ? sa.line < sb.line : sa.column < sb.column;
    });
    std::size_t count = 1;
    for (const auto& [key, values] : list) {
        study.keys.push_back(key);
        std::vector<std::string> texts;
        for (const toml::node& v : *values)
            texts.push_back(value_text(v, located(path, v)));
        study.axes.push_back(std::move(texts));
        if (count > kMaxStudyPoints / values->size())
            throw Failure{located(path, axes) + ": more than " + std::to_string(kMaxStudyPoints) +
                          " points"};
        count *= values->size();
    }
    study.points.resize(count);
    for (std::size_t p = 0; p < count; ++p) {
        std::size_t rest = p;
        std::vector<std::string> values(list.size());
        for (std::size_t a = list.size(); a-- > 0;) {
            const toml::array& axis = *list[a].second;
            const toml::node& v = *axis.get(rest % axis.size());
            values[a] = value_text(v, located(path, v));
            rest /= axis.size();
        }
        study.points[p].values = std::move(values);
        where.push_back(path);
    }
}

// Points from a CSV table.
void table_points(const std::string& csv_path, Study& study, std::vector<std::string>& where) {
    auto text = read_text_file(csv_path, "points file");
    if (auto* e = std::get_if<BodyError>(&text)) throw Failure{e->message};
    auto table = read_points_csv(std::get<std::string>(text), printable_path(csv_path));
    if (auto* e = std::get_if<PointTableError>(&table)) throw Failure{e->message};
    PointTable& t = std::get<PointTable>(table);
    if (t.rows.size() > kMaxStudyPoints)
        throw Failure{printable_path(csv_path) + ": more than " + std::to_string(kMaxStudyPoints) +
                      " points"};
    study.keys = t.keys;
    for (std::size_t r = 0; r < t.rows.size(); ++r) {
        study.points.push_back({std::move(t.rows[r]), {}});
        where.push_back(printable_path(csv_path) + ":" + std::to_string(t.lines[r]));
    }
}

} // namespace

std::variant<Study, StudyError> read_study(std::string_view text, const std::string& path,
                                          const std::string& file_path) {
    // The files a study names lie beside it: found from its real path, which messages
    // show shortened.
    const std::string& located_at = file_path.empty() ? path : file_path;
    try {
        toml::table doc;
        if (auto error = parse_toml_document(text, path, doc)) return StudyError{*error};
        // A misspelt study key must not read as a missing one.
        for (const auto& [name, node] : doc)
            if (!node.is_table() && name != "base" && name != "base_file" && name != "points" &&
                name != "name" && name != "method" && name != "point_directories")
                throw Failure{located(path, node) + ": " + std::string(name.str()) +
                              ": unknown key (a study has " + kStudyKeys +
                              ", and the keys of a body file)"};
        // A misspelt [axes] must not read as a section of the body.
        for (const auto& [name, node] : doc)
            if (node.is_table() && name != "axes" &&
                nearest_key(name.str(), {std::string("axes")}) == "axes")
                throw Failure{located(path, node) + ": [" + std::string(name.str()) +
                              "]: unknown section (did you mean [axes]?)"};
        const Body base = base_body(doc, path, located_at);

        Study study;
        if (const toml::node* method = doc.get("method")) {
            const auto* name = method->as_string();
            if (name == nullptr || (name->get() != "time" && name->get() != "steady"))
                throw Failure{located(path, *method) +
                              ": method: expected \"time\" or \"steady\""};
            study.steady = name->get() == "steady";
        }
        if (const toml::node* keep = doc.get("point_directories")) {
            const auto* flag = keep->as_boolean();
            if (flag == nullptr)
                throw Failure{located(path, *keep) + ": point_directories: expected true or false"};
            study.point_directories = flag->get();
        }
        std::vector<std::string> where; // each point's origin, for messages
        const toml::node* axes = doc.get("axes");
        const toml::node* points = doc.get("points");
        if (axes != nullptr && points != nullptr)
            throw Failure{located(path, *points) +
                          ": points and [axes] both give the points; give one"};
        if (axes != nullptr) {
            if (!axes->is_table())
                throw Failure{located(path, *axes) + ": axes: expected a section [axes]"};
            axis_points(*axes->as_table(), path, study, where);
        } else if (points != nullptr) {
            const auto* name = points->as_string();
            if (name == nullptr || name->get().empty())
                throw Failure{located(path, *points) + ": points: expected a CSV file name"};
            table_points(beside(located_at, name->get()), study, where);
        } else {
            throw Failure{path + ": no points: give [axes] or points = \"FILE.csv\""};
        }

        // Every point is checked before anything runs.
        for (std::size_t p = 0; p < study.points.size(); ++p) {
            StudyPoint& point = study.points[p];
            std::vector<std::string> overrides;
            for (std::size_t k = 0; k < study.keys.size(); ++k)
                overrides.push_back(study.keys[k] + "=" + point.values[k]);
            const std::string name = where[p] + ": point " + std::to_string(p + 1);
            auto body = override_body(base, name, overrides);
            if (auto* e = std::get_if<BodyError>(&body))
                throw Failure{name + ": " + body_message(e->message)};
            point.body = std::get<Body>(std::move(body));
        }
        return study;
    } catch (const Failure& f) {
        return StudyError{f.message};
    }
}

std::variant<Study, StudyError> read_study_file(const std::string& path) {
    auto text = read_text_file(path, "study file");
    if (auto* e = std::get_if<BodyError>(&text)) return StudyError{e->message};
    return read_study(std::get<std::string>(text), printable_path(path), path);
}

} // namespace tidal

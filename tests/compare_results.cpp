// Compares the ten result files of a run with reference files, numerically: the summary
// files value by value to a relative tolerance, the phases exactly, the per-step series to a
// tolerance of the file's largest magnitude. Also checks that all summary files share their
// first column. Prints one line per file and exits non-zero on any difference.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Table = std::vector<std::vector<double>>;

bool read_table(const std::string& path, Table& t) {
    std::ifstream in(path);
    if (!in) return false;
    for (std::string line; std::getline(in, line);) {
        std::replace(line.begin(), line.end(), 'D', 'E'); // exponent letter of some writers
        std::istringstream items(line);
        std::vector<double> row;
        for (std::string s; items >> s;)
            row.push_back(std::stod(s));
        if (!row.empty()) t.push_back(row);
    }
    return true;
}

struct Rule {
    const char* name;
    double first_rel;  // tolerance of the first column, relative
    double second_rel; // tolerance of the second column, relative (or of the largest magnitude)
    bool series;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: compare_results RESULT_DIR REFERENCE_DIR\n");
        return 2;
    }
    const std::string ours = argv[1], ref = argv[2];
    const Rule rules[] = {
        {"pcelketa", 0, 1e-9, false}, {"pcelketakelvin", 1e-12, 1e-9, false},
        {"ureta", 0, 1e-9, false},    {"uretakelvin", 0, 1e-9, false},
        {"tneta", 0, 0, false},       {"tnetakelvin", 0, 0, false},
        {"urtheta", 0, 1e-9, false},  {"urthetakelvin", 0, 1e-9, false},
        {"time", 0, 1e-6, true},      {"timekelvin", 0, 1e-6, true},
    };
    int failures = 0;
    Table first_file;
    for (const Rule& r : rules) {
        Table a, b;
        if (!read_table(ours + "/" + r.name, a) || !read_table(ref + "/" + r.name, b)) {
            std::printf("%-15s missing\n", r.name);
            ++failures;
            continue;
        }
        if (a.size() != b.size()) {
            std::printf("%-15s %zu lines, reference %zu\n", r.name, a.size(), b.size());
            ++failures;
            continue;
        }
        double largest = 0;
        for (const auto& row : b)
            largest = std::max(largest, std::fabs(row.at(1)));
        double worst[2] = {0, 0};
        bool ok = true;
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (a[i].size() != 2 || b[i].size() != 2) {
                ok = false;
                break;
            }
            for (int c = 0; c < 2; ++c) {
                const double diff = std::fabs(a[i][c] - b[i][c]);
                const double scale = (r.series && c == 1) ? largest : std::fabs(b[i][c]);
                const double rel = diff == 0 ? 0 : diff / scale;
                worst[c] = std::max(worst[c], rel);
                if (rel > (c == 0 ? r.first_rel : r.second_rel)) ok = false;
            }
        }
        if (!r.series) {
            if (first_file.empty()) first_file = a;
            for (std::size_t i = 0; i < a.size() && i < first_file.size(); ++i)
                if (a[i][0] != first_file[i][0]) ok = false;
        }
        std::printf("%-15s %zu lines, worst differences %.3g %.3g %s\n", r.name, a.size(), worst[0],
                    worst[1], ok ? "ok" : "FAILED");
        if (!ok) ++failures;
    }
    std::printf("%d passed, %d failed\n", 10 - failures, failures);
    return failures == 0 ? 0 : 1;
}

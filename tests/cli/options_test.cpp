// Command-line options: what is accepted, and that every bad form is refused with one line.
#include <gtest/gtest.h>

#include <initializer_list>
#include <tuple>
#include <vector>

#include "cli/options.hpp"
#include "engine/thread_count.hpp"

namespace tidal {
namespace {

std::variant<Options, OptionError> parse(std::initializer_list<const char*> args) {
    const std::vector<const char*> v(args);
    return parse_options(v);
}

Options accepted(std::initializer_list<const char*> args) {
    const auto r = parse(args);
    if (const auto* e = std::get_if<OptionError>(&r)) ADD_FAILURE() << e->message;
    return std::holds_alternative<Options>(r) ? std::get<Options>(r) : Options{};
}

TEST(Options, NoneMeansTheMenuInTheWorkingDirectory) {
    const Options o = accepted({});
    EXPECT_EQ(std::tuple(o.body.has_value(), o.jobs.has_value(), o.output, o.plain || o.help || o.version),
              std::tuple(false, false, ".", false));
}

TEST(Options, ValuesAsNextArgumentOrAfterEquals) {
    const Options a = accepted({"--body", "3", "--output", "europa/", "--jobs", "2"});
    EXPECT_EQ(std::tuple(a.body, a.output, a.jobs, a.plain), std::tuple(3, "europa/", 2, false));
    const Options b = accepted({"--body=8", "--output=a b", "--jobs=1", "--plain"});
    EXPECT_EQ(std::tuple(b.body, b.output, b.jobs, b.plain), std::tuple(8, "a b", 1, true));
    EXPECT_EQ(std::tuple(accepted({"--help"}).help, accepted({"-h"}).help, accepted({"--version"}).version),
              std::tuple(true, true, true));
    EXPECT_EQ(accepted({"--body", "1", "--body", "2"}).body, 2); // the last one counts
    const Options f = accepted({"--body-file", "europa.toml", "--set", "shell.thickness=2e4",
                                "--set=numerics.layers=40", "--print-body", "3"});
    EXPECT_EQ(std::tuple(f.body_file, f.overrides, f.print_body),
              std::tuple("europa.toml", std::vector<std::string>{"shell.thickness=2e4", "numerics.layers=40"}, 3));
    // --series adds up, in any decimal form.
    EXPECT_EQ(accepted({"--series", "1e15", "--series=3.5E20", "--series", "120000000000"}).series,
              (std::vector<double>{1e15, 3.5e20, 1.2e11}));
}

TEST(Options, BadFormsAreRefusedWithOneLine) {
    // clang-format off
    const std::vector<std::vector<const char*>> bad_forms = {
        {"--body"}, {"--body", "0"}, {"--body", "9"}, {"--body", "1.5"}, {"--body", "x"},
        {"--body", " 3"}, {"--body="}, {"--body", "99999999999"}, {"--jobs", "0"},
        {"--jobs", "-2"}, {"--jobs", "100000"}, {"--output"}, {"--output="}, {"--print-body", "0"},
        {"--body-file="}, {"--body", "1", "--body-file", "b.toml"},
        {"--study", "s.toml", "--set", "orbit.eccentricity=0.1"},
        {"--study", "s.toml", "--body-file", "b.toml"}, {"--study", "s.toml", "--print-body", "3"},
        {"--study", "s.toml", "--body", "3"}, {"--set"}, {"--plain=maybe"}, {"--series"},
        {"--series", "0"}, {"--series", "-1e15"}, {"--series", "inf"}, {"--series", "nan"},
        {"--series", "1e15x"}, {"--series", "1e999"}, {"--frobnicate"}, {"-b", "3"}, {"3"},
    };
    // clang-format on
    for (const auto& args : bad_forms) {
        const auto r = parse_options(args);
        ASSERT_TRUE(std::holds_alternative<OptionError>(r)) << args[0];
        const std::string& m = std::get<OptionError>(r).message;
        EXPECT_FALSE(m.empty());
        EXPECT_EQ(m.find('\n'), std::string::npos);
    }
    const auto unknown = parse({"--frobnicate"});
    EXPECT_NE(std::get<OptionError>(unknown).message.find("--frobnicate"), std::string::npos);
    const auto bad = parse({"--body", "12"});
    EXPECT_NE(std::get<OptionError>(bad).message.find("'12'"), std::string::npos);
    // Control bytes are not echoed to the terminal.
    for (const char* hostile : {"--\x1b[2J", "--body=\x1b[2J"}) {
        const auto r = parse({hostile});
        ASSERT_TRUE(std::holds_alternative<OptionError>(r));
        EXPECT_EQ(std::get<OptionError>(r).message.find('\x1b'), std::string::npos) << hostile;
    }
}

TEST(Options, ThreadCountFromJobsThenEnvironmentThenCores) {
    Options o;
    EXPECT_GE(thread_count(o.jobs, nullptr), 1);
    EXPECT_EQ(thread_count(o.jobs, "3"), 3);
    EXPECT_EQ(thread_count(o.jobs, "zero"), thread_count(o.jobs, nullptr)); // ignored, as OpenMP does
    EXPECT_EQ(thread_count(o.jobs, "0"), thread_count(o.jobs, nullptr));
    o.jobs = 5;
    EXPECT_EQ(thread_count(o.jobs, "3"), 5);
}

TEST(Options, HelpNamesEveryOptionAndBody) {
    const std::string help = usage_text();
    for (const char* word :
         {"--body", "--body-file", "--set", "--print-body", "--output", "--jobs", "--plain",
          "--help", "--version", "body.toml", "Enceladus", "Europa", "Mercury", "Exoplanet", "130"})
        EXPECT_NE(help.find(word), std::string::npos) << word;
    EXPECT_EQ(version_text().rfind("tidal ", 0), 0u);
}

} // namespace
} // namespace tidal

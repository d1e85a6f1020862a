// The list of rheologies as the rest of the program sees it: each id names its own type's
// place, whatever the order in which enum Rheology names them, and each name finds its
// rheology. (The declarations themselves are checked as they compile: parameter.hpp,
// rheology_model.hpp; the body file's round trip of every parameter is in body_file_test.)
#include <gtest/gtest.h>

#include <string_view>

#include "rheology/rheologies.hpp"

namespace tidal {
namespace {

// Caught: an id valued from another type's place (`Zener = list_index<tidal::Burgers>()`).
TEST(RheologyList, EveryNamedIdIsItsOwnTypesPlace) {
    const struct {
        Rheology id;
        std::string_view name;
    } named[] = {{Rheology::Maxwell, Maxwell::name},
                 {Rheology::KelvinVoigt, KelvinVoigt::name},
                 {Rheology::Burgers, Burgers::name},
                 {Rheology::Andrade, Andrade::name},
                 {Rheology::Zener, Zener::name}};
    for (const auto& n : named) {
        SCOPED_TRACE(std::string(n.name));
        EXPECT_EQ(kRheologies[index_of(n.id)].name, n.name);
        EXPECT_EQ(rheology_named(n.name), n.id);
    }
    EXPECT_EQ(rheology_id<Zener>, Rheology::Zener);
    EXPECT_EQ(rheology_id<Maxwell>, Rheology::Maxwell);
}

// Every rheology of the list: its entry sits at its place, its name finds it, and its
// parameters are listed under it in their declared order with their declared defaults.
TEST(RheologyList, EveryEntryAndParameterIsItsRheologys) {
    for (std::size_t i = 0; i < kRheologyCount; ++i) {
        SCOPED_TRACE(std::string(kRheologies[i].name));
        EXPECT_EQ(index_of(kRheologies[i].id), i);
        EXPECT_EQ(rheology_named(kRheologies[i].name), kRheologies[i].id);
    }
    EXPECT_FALSE(rheology_named("maxwel"));
    std::size_t seen = 0;
    for (const RheologyParameter& p : rheology_parameters())
        with_rheology(p.rheology, [&]<class R>(R) {
            SCOPED_TRACE(p.dotted());
            if constexpr (R::parameters.empty()) {
                ADD_FAILURE() << "listed under a rheology that declares no parameters";
            } else {
                ASSERT_LT(p.index, R::parameters.size());
                const auto& declared = R::parameters[p.index];
                EXPECT_EQ(p.key, declared.key);
                EXPECT_EQ(p.own_table, declared.table.empty());
                EXPECT_EQ(p.dotted(), (p.own_table ? "rheology." + std::string(R::name)
                                                    : std::string(declared.table)) +
                                          "." + std::string(p.key));
                const RheologyParameters defaults{};
                EXPECT_EQ(parameter_value(defaults, p), p.default_value);
                EXPECT_TRUE(p.range.contains(p.default_value));
                ++seen;
            }
        });
    std::size_t declared = 0;
    for (const RheologyNames& r : kRheologies)
        with_rheology(r.id, [&]<class R>(R) { declared += R::parameters.size(); });
    EXPECT_EQ(seen, declared);
}

} // namespace
} // namespace tidal

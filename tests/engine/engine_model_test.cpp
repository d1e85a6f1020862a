// The engine's model of a body: the grid error's model on twice the cells takes the fitted
// rheologies of the model on N cells instead of fitting them again, and so must hold exactly
// what fitting them again would give (the same rheology, orbit and run constants give the
// same band of frequencies).
#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "body/presets.hpp"
#include "engine/engine.hpp"
#include "files/body_file.hpp"
#include "rheology/andrade.hpp"
#include "same_records.hpp"
#include "steady/grid_refinement.hpp"
#include "test_data.hpp"

namespace tidal {
namespace {

// Deliberate fault this caught: the engine handing the body's own rheology (not yet fitted:
// an empty Prony series) to the model on twice the cells.
TEST(EngineModel, TheModelOnTwiceTheCellsHoldsTheFitItWouldMakeItself) {
    std::vector<Body> bodies = {*preset_body(1), *preset_body(3)};
    auto layered = read_body(test_data("layered_body.toml"), "layered_body.toml",
                             std::vector<std::string>{"rheology.models=[\"andrade\"]"});
    ASSERT_TRUE(std::holds_alternative<Body>(layered)) << std::get<BodyError>(layered).message;
    bodies.push_back(std::get<Body>(layered));
    for (Body& body : bodies) {
        SCOPED_TRACE(body.name);
        body.grid_error = true;
        const Engine engine(body);
        ASSERT_NE(engine.model().twice_the_cells, nullptr);
        RunConstants run;
        run.nperiod = body.steps_per_period;
        run.nsteps = body.periods * body.steps_per_period;
        const ShellModel fitted = make_shell_model(refined(body), run);
        const RheologyParameters& shared = engine.model().twice_the_cells->body.rheology;
        ASSERT_FALSE(fitted.body.rheology.of<Andrade>().series.weight.empty());
        testing_records::expect_same_preparation(shared, fitted.body.rheology);
    }
}

} // namespace
} // namespace tidal

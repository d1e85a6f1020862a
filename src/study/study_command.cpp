#include "study/study_command.hpp"

#include <ostream>

#include "files/exit_status.hpp"

namespace tidal {

int study_command(const std::string& study_file, const std::string& output,
                  const StudySettings& settings, std::ostream& err) {
    auto study = read_study_file(study_file);
    if (const auto* e = std::get_if<StudyError>(&study)) {
        err << "error: " << e->message << '\n';
        return kExitBadChoice;
    }
    Study& s = std::get<Study>(study);
    if (settings.steady) s.steady = *settings.steady;
    auto prepared = prepare_study(s, output, settings.series);
    if (const auto* e = std::get_if<StudyError>(&prepared)) {
        err << "error: " << e->message << '\n';
        return kExitBadChoice;
    }
    return run_study(s, std::get<PreparedStudy>(prepared), err, settings);
}

} // namespace tidal

#pragma once
// "study.nc": a study's summaries as one NetCDF-4 hypercube (CF-1.8 conventions). Every
// quantity of the points' summary.csv (named as its column without the rheology, as in
// results.nc) is a variable over (axis 1, ..., axis n, rheology, viscosity), the first axis
// varying slowest as the points do, so that xarray's ds.sel(<axis>=value) picks a point.
// (With numerics.extrapolate, the extrapolated values too, as in results.nc; for a body given
// by its layers, layer_power_W over (axes, rheology, viscosity, layer), as in results.nc.)
// The viscosities are every point's swept ones together and the rheologies every point's
// models together: a value a point did not compute is NaN. A study whose points come from a
// table has one axis, "point", and its keys as variables over it.
//
// The file is built point by point, in study order, while the study runs: its variables are
// stored in chunks that each hold a run of consecutive points (whole trailing axes, and a
// stretch of the axis before them), and a chunk is compressed into the file as soon as its
// last point comes in, so that only the rows of the chunk in the making are held.
#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "files/results_netcdf.hpp"
#include "files/tables.hpp"

namespace tidal {

struct StudyAxis {
    std::string name;    // of the dimension and its coordinate: the key with '_' for '.'
    std::string key;     // the body key, dotted
    std::string units;   // UDUNITS; "1" for a ratio or count
    std::string comment; // what the body file says of the key
    // The values, in order: numbers when every value is one, else their texts.
    std::vector<double> numbers;
    std::vector<std::string> texts;
    std::size_t size() const { return numbers.empty() ? texts.size() : numbers.size(); }
};

// One point's summary rows (ascending viscosity), with its rheologies in column order.
struct StudyPointRows {
    std::vector<std::string> rheologies;
    std::vector<SummaryRow> rows;
};

// What the hypercube is over, known before its first point.
struct StudyShape {
    // The axes, slowest first; the product of their sizes is the number of points. For a
    // points table: the one axis "point" (numbered from 1) and `table_keys` over it.
    std::vector<StudyAxis> axes;
    std::vector<StudyAxis> table_keys;
    std::vector<std::string> rheologies; // every point's, first seen first
    std::vector<double> viscosities;     // every point's swept ones, ascending, each once
    bool extrapolated = false;           // the points' summaries hold extrapolated values
    // A body given by its layers: the numbers (1 the outermost) and names of the layers whose
    // powers the summaries hold (SummaryRow::layer_power); else empty.
    std::vector<int> layer_numbers;
    std::vector<std::string> layer_names;
    std::vector<FileAttribute> attributes;
    std::string source;
};

// How many points a chunk of the hypercube spans along each axis (slowest first), for axes
// of `sizes` and `per_point` values per variable and point: whole trailing axes, then an even
// share of the axis before them, so that a chunk holds a run of consecutive points of at most
// `target` values (at least one point).
std::vector<std::size_t> study_chunk_points(std::span<const std::size_t> sizes,
                                            std::size_t per_point, std::size_t target);

// Half a megabyte of doubles: large enough that a chunk's compression and bookkeeping are a
// small part of its cost (a slab of 50 points of 241 viscosities and three rheologies is one
// chunk), small enough that the rows of one chunk's points and its buffers stay modest.
inline constexpr std::size_t kStudyChunkValues = std::size_t{1} << 16;

class StudyNetcdfWriter {
  public:
    // Declares the file at `path` (created anew at close()) and puts its coordinates; its
    // chunks hold about `chunk_values` values (study_chunk_points). Throws OutputError.
    StudyNetcdfWriter(std::string path, StudyShape shape,
                      std::size_t chunk_values = kStudyChunkValues);
    // Without close(): abandons the file (nothing of it is written).
    ~StudyNetcdfWriter();
    StudyNetcdfWriter(const StudyNetcdfWriter&) = delete;
    StudyNetcdfWriter& operator=(const StudyNetcdfWriter&) = delete;

    // The rows of the next point in study order; every variable's chunk is put once its last
    // point is in. Throws OutputError (also for a rheology or viscosity outside the shape).
    void add(StudyPointRows point);
    // Writes the file, every point added (else OutputError).
    void close();

  private:
    struct State;
    void put_chunk();
    std::unique_ptr<State> s_;
};

} // namespace tidal

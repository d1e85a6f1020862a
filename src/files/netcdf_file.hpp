#pragma once
// A NetCDF-4 file written once from its beginning: dimensions, variables and attributes are
// declared, then the values put (the file is built in memory), then the whole file written,
// closed and made durable (fsync). Every status
// the library returns is checked: a failure throws OutputError naming the file, what was being
// done and the library's reason, and the object's destructor then abandons the file (the
// caller removes it: it is never a whole result).
#include <cstddef>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "files/result_file.hpp"

namespace tidal {

class NetcdfFile {
  public:
    enum class Type { Double, Int, String };
    static constexpr int kGlobal = -1; // the file's own attributes (NC_GLOBAL)

    // Creates the file at `path`, replacing what stands there.
    explicit NetcdfFile(std::string path);
    // Without close(): abandons the file (nothing of it reaches the disk).
    ~NetcdfFile();
    NetcdfFile(const NetcdfFile&) = delete;
    NetcdfFile& operator=(const NetcdfFile&) = delete;

    // Declares a dimension of `length` entries; returns its id.
    int dimension(std::string_view name, std::size_t length);
    // Declares a variable over `dims` (ids, slowest first) with its `units` and `long_name`
    // (a string variable gets no units); returns its id. Doubles are filled with NaN where no
    // value is put (the _FillValue readers take as missing). `compress` deflates its chunks.
    int variable(std::string_view name, Type type, std::span<const int> dims,
                 std::string_view units, std::string_view long_name, bool compress = false);
    // Has the chunks of variable `var` compressed and stored as a put hands them over, rather
    // than kept uncompressed in the library's chunk cache until the file is closed: for a
    // variable put whole, once, so that the work of each put is done within it.
    void write_through(int var);
    // Stores variable `var` (declared, not yet put) in chunks of `sizes` entries along each of
    // its dimensions, slowest first, instead of the library's choice.
    void chunks(int var, std::span<const std::size_t> sizes);
    // Attributes of a variable (or of the file: kGlobal).
    void text(int var, std::string_view name, std::string_view value);
    void number(int var, std::string_view name, double value);
    void integer(int var, std::string_view name, long long value);
    // Ends the declarations; values may be put from then on.
    void end_definitions();

    // Puts the whole of a variable (its values in C order: the last dimension fastest).
    void put(int var, std::span<const double> values);
    // Puts the block of `count` entries along each dimension from `start` (C order).
    void put(int var, std::span<const std::size_t> start, std::span<const std::size_t> count,
             std::span<const double> values);
    void put(int var, std::span<const int> values);
    void put(int var, std::span<const std::string> values);

    // Writes the whole file at its path and makes it durable.
    void close();

    const std::string& path() const { return path_; }

  private:
    void check(int status, std::string_view action) const;
    std::string path_;
    // The NetCDF and HDF5 libraries keep state shared by all their files and are not safe to
    // call from two threads at once: every call into them holds the library (a process-wide
    // lock), so that files are built on several threads, one call at a time.
    static std::unique_lock<std::mutex> library();
    int id_ = -1;
};

} // namespace tidal

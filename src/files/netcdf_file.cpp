#include "files/netcdf_file.hpp"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include <netcdf.h>
#include <netcdf_mem.h>

namespace tidal {

namespace {

nc_type nc_type_of(NetcdfFile::Type t) {
    switch (t) {
    case NetcdfFile::Type::Double: return NC_DOUBLE;
    case NetcdfFile::Type::Int: return NC_INT;
    case NetcdfFile::Type::String: return NC_STRING;
    }
    return NC_NAT;
}

int nc_var(int var) { return var == NetcdfFile::kGlobal ? NC_GLOBAL : var; }

} // namespace

void NetcdfFile::check(int status, std::string_view action) const {
    if (status == NC_NOERR) return;
    // The library reports a refused write (a full disk) as its own error; the system's reason
    // is the one a user can act on.
    const int err = errno;
    std::string msg = "cannot write result file '" + path_ + "': " + std::string(action) + ": " +
                      nc_strerror(status);
    if (err != 0) msg += ": " + std::string(std::strerror(err));
    throw OutputError(msg);
}

std::unique_lock<std::mutex> NetcdfFile::library() {
    static std::mutex library;
    return std::unique_lock(library);
}

NetcdfFile::NetcdfFile(std::string path) : path_(std::move(path)) {
    const auto held = library();
    errno = 0;
    // Built in memory and written by this program's own file code: a refused write (a full
    // disk) is then reported and cleaned up as for every other result file, never left inside
    // the HDF5 library (which cannot let go of a file it failed to close).
    check(nc_create_mem(path_.c_str(), NC_NETCDF4, 1 << 20, &id_), "create");
}

NetcdfFile::~NetcdfFile() {
    const auto held = library();
    if (id_ >= 0) (void)nc_abort(id_);
}

int NetcdfFile::dimension(std::string_view name, std::size_t length) {
    const auto held = library();
    int dim = -1;
    errno = 0;
    check(nc_def_dim(id_, std::string(name).c_str(), length, &dim),
          "define dimension " + std::string(name));
    return dim;
}

int NetcdfFile::variable(std::string_view name, Type type, std::span<const int> dims,
                         std::string_view units, std::string_view long_name, bool compress) {
    int var = -1;
    const std::string n(name);
    {
        const auto held = library();
        errno = 0;
        check(nc_def_var(id_, n.c_str(), nc_type_of(type), static_cast<int>(dims.size()),
                         dims.data(), &var),
              "define variable " + n);
        if (compress && !dims.empty())
            check(nc_def_var_deflate(id_, var, 1, 1, 1), "compress variable " + n);
        if (type == Type::Double) {
            const double fill = std::numeric_limits<double>::quiet_NaN();
            check(nc_def_var_fill(id_, var, NC_FILL, &fill), "define the fill value of " + n);
        }
    }
    if (type != Type::String) text(var, "units", units);
    text(var, "long_name", long_name);
    return var;
}

void NetcdfFile::write_through(int var) {
    const auto held = library();
    errno = 0;
    check(nc_set_var_chunk_cache(id_, var, 0, 0, 1.0f), "set the chunk cache of a variable");
}

void NetcdfFile::chunks(int var, std::span<const std::size_t> sizes) {
    const auto held = library();
    errno = 0;
    check(nc_def_var_chunking(id_, var, NC_CHUNKED, sizes.data()), "set the chunks of a variable");
}

void NetcdfFile::text(int var, std::string_view name, std::string_view value) {
    const auto held = library();
    errno = 0;
    check(nc_put_att_text(id_, nc_var(var), std::string(name).c_str(), value.size(), value.data()),
          "write attribute " + std::string(name));
}

void NetcdfFile::number(int var, std::string_view name, double value) {
    const auto held = library();
    errno = 0;
    check(nc_put_att_double(id_, nc_var(var), std::string(name).c_str(), NC_DOUBLE, 1, &value),
          "write attribute " + std::string(name));
}

void NetcdfFile::integer(int var, std::string_view name, long long value) {
    const auto held = library();
    errno = 0;
    check(nc_put_att_longlong(id_, nc_var(var), std::string(name).c_str(), NC_INT64, 1, &value),
          "write attribute " + std::string(name));
}

void NetcdfFile::end_definitions() {
    const auto held = library();
    errno = 0;
    check(nc_enddef(id_), "end the definitions");
}

void NetcdfFile::put(int var, std::span<const double> values) {
    const auto held = library();
    errno = 0;
    if (!values.empty()) check(nc_put_var_double(id_, var, values.data()), "write values");
}

void NetcdfFile::put(int var, std::span<const std::size_t> start,
                     std::span<const std::size_t> count, std::span<const double> values) {
    const auto held = library();
    errno = 0;
    if (!values.empty())
        check(nc_put_vara_double(id_, var, start.data(), count.data(), values.data()),
              "write values");
}

void NetcdfFile::put(int var, std::span<const int> values) {
    const auto held = library();
    errno = 0;
    if (!values.empty()) check(nc_put_var_int(id_, var, values.data()), "write values");
}

void NetcdfFile::put(int var, std::span<const std::string> values) {
    std::vector<const char*> c;
    for (const std::string& s : values)
        c.push_back(s.c_str());
    const auto held = library();
    errno = 0;
    if (!c.empty()) check(nc_put_var_string(id_, var, c.data()), "write values");
}

void NetcdfFile::close() {
    errno = 0;
    NC_memio image{};
    int status = NC_NOERR;
    {
        const auto held = library();
        status = nc_close_memio(id_, &image);
        id_ = -1;
    } // the image is ours: written and synced while other files are made
    check(status, "close");
    struct Freed {
        void* p;
        ~Freed() { std::free(p); }
    } freed{image.memory};
    // Written whole, flushed and made durable; on failure the file is cut back to nothing.
    ResultFile file(path_);
    file.rewrite(std::string_view(static_cast<const char*>(image.memory), image.size));
    file.close();
}

} // namespace tidal

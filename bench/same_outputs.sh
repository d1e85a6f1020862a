# Sourced by the benchmarks that compare a baseline's output with this build's.
bench_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# same_outputs A B: whether two output directories hold the same results: every file the same
# bytes, but a NetCDF file (.nc) that differs in its bytes the same content by same_netcdf.py
# (every value to the bit; the library may lay the same chunks out in another order). With
# SAME_NETCDF_ANY_CHUNKS=1 their chunk shapes may differ too (a baseline that chunked them
# otherwise).
same_outputs() {
    diff -r -x '*.nc' "$1" "$2" > /dev/null || return 1
    local f
    while IFS= read -r f; do
        [ -e "$2/$f" ] || return 1
        cmp -s "$1/$f" "$2/$f" && continue
        "${PYTHON:-/usr/bin/python3}" "$bench_dir/same_netcdf.py" \
            ${SAME_NETCDF_ANY_CHUNKS:+--any-chunks} "$1/$f" "$2/$f" || return 1
    done < <(cd "$1" && find . -name '*.nc')
    [ "$(cd "$1" && find . -name '*.nc' | sort)" = "$(cd "$2" && find . -name '*.nc' | sort)" ]
}

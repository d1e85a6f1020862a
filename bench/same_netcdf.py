#!/usr/bin/python3
"""Whether two NetCDF files hold the same content: dimensions, variables (every value to the
bit), attributes, chunk shapes and filters. Their bytes may still differ where the library laid
the same chunks out in another order. With --any-chunks, the chunk shapes may differ too (a
build that stores the same values in other chunks). Exit status 0 when the same, 1 (with the
difference) when not. Usage: same_netcdf.py [--any-chunks] A B"""
import sys

import netCDF4


def same(a, b, chunks=True):
    if list(a.dimensions) != list(b.dimensions) or [len(d) for d in a.dimensions.values()] != [
            len(d) for d in b.dimensions.values()]:
        return "the dimensions"
    if list(a.variables) != list(b.variables):
        return "the variables' names"
    attrs = lambda o: [(k, str(o.getncattr(k))) for k in o.ncattrs()]
    if attrs(a) != attrs(b):
        return "the file's attributes"
    for name in a.variables:
        x, y = a[name], b[name]
        x.set_auto_mask(False)
        y.set_auto_mask(False)
        if attrs(x) != attrs(y) or (chunks and x.chunking() != y.chunking()) or x.filters() != y.filters():
            return f"the attributes, chunks or filters of {name}"
        u, v = x[:], y[:]
        if u.dtype != v.dtype or u.shape != v.shape:
            return f"the type or shape of {name}"
        if (u.tobytes() != v.tobytes()) if u.dtype.kind in "fiu" else not (u == v).all():
            return f"the values of {name}"
    return None


if __name__ == "__main__":
    args = sys.argv[1:]
    any_chunks = "--any-chunks" in args
    args = [x for x in args if x != "--any-chunks"]
    with netCDF4.Dataset(args[0]) as a, netCDF4.Dataset(args[1]) as b:
        differ = same(a, b, chunks=not any_chunks)
    if differ:
        print(f"{args[0]} and {args[1]} differ in {differ}")
        sys.exit(1)

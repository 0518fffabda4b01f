#!/usr/bin/env python3
"""Writes the binary data files of the xml_* end-to-end cases.

Each block is spelled out by hand next to the symbol file it belongs to; the
expected reports were worked out from these counts. Run it from anywhere; it
rewrites the files in place.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
STAMP = "Fri Dec  5 12:00:00 2025"


def block(name, time, fingerprint, rwr=0, upd=0, f=(), j=(), dt=(), df=(), c=(), tt=(), tm=()):
    name_bytes = name.encode()
    words = [0x12345678, len(name_bytes), time, fingerprint, rwr, upd, len(f), len(j), len(dt), len(c), len(tt)]
    data = struct.pack("<11I", *words) + name_bytes
    for array in (f, j, dt, df, c, tt, tm):
        data += struct.pack("<%dI" % len(array), *array)
    return data


def data_file(path, blocks):
    content = ("Tarvo dat 9|" + STAMP).encode() + struct.pack("<3I", 0x12345678, 0x9ABCDEF0, len(blocks))
    content += b"".join(blocks) + b"[EOF DATAFILE]"
    with open(os.path.join(HERE, path), "wb") as out:
        out.write(content)


# calc(): called once, if true 3 / false 0, returns 3 and 0 times.
# pick(): called twice, case 1 twice, case 2 never, break twice,
#         const-if DEBUG false 4 times. unused(): never called.
# util.c: tick() called twice costing 95 (maximum 19), tock() never, 7 and 7.
# ghost.c: described by no symbol file.
CALC_BLOCKS = [
    block("calc.c", 1764900000, 0xCAFE, rwr=2, upd=3, f=(1, 2, 0), j=(3, 0, 2, 0, 2, 0),
          dt=(3, 0), df=(0, 4)),
    block("util.c", 1764800000, 0xBEE5, rwr=4, upd=5, f=(2, 0), tt=(95, 7), tm=(19, 7)),
    block("ghost.c", 1764800000, 0x1, f=(1,)),
]
data_file("xml_decision_and_timing_files/input/calc.dat", CALC_BLOCKS)
data_file("xml_function_view/input/calc.dat", CALC_BLOCKS)

# check(): called once; combinations TT 5 times, TF never, F_ twice;
# returns 5 and 0 times.
data_file("xml_mcdc_view_to_stdout/input/mc.dat", [
    block("mc.c", 1764900000, 0xABC, f=(1,), j=(5, 0), c=(5, 0, 2)),
])

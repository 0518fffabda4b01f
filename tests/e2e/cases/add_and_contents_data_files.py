#!/usr/bin/env python3
"""Writes the binary data files of the add_* and contents_* end-to-end cases.

Every block is spelled out here by hand: the inputs, and for the adding cases
the target the run must write, worked out from the adding rules (counts add
and stop at 4294967295, time totals wrap, time maxima keep the larger signed
value, upd = A + B + 1, the later time kept, an entry moves to the end when
it changes). Run it from anywhere; it rewrites the files in place.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
INPUT_STAMP = "Mon Jan  5 10:00:00 2026"
RUN_STAMP = "Fri Dec  5 16:00:00 2025"  # SOURCE_DATE_EPOCH=1764950400, TZ=UTC


def u32(value):
    return value & 0xFFFFFFFF


def block(name, time, fingerprint, rwr=0, upd=0, f=(), j=(), dt=(), df=(), c=(), tt=(), tm=(),
          magic=0x12345678, f_size=None):
    assert len(dt) == len(df) and len(tt) == len(tm)
    name_bytes = name.encode()
    sizes = [len(f) if f_size is None else f_size, len(j), len(dt), len(c), len(tt)]
    words = [magic, len(name_bytes), u32(time), fingerprint, rwr, upd] + sizes
    data = struct.pack("<11I", *words) + name_bytes
    for array in (f, j, dt, df, c, tt, tm):
        data += struct.pack("<%dI" % len(array), *[u32(v) for v in array])
    return data


def data_file(blocks, stamp=INPUT_STAMP, count=None):
    header = b"Tarvo dat 9|" + stamp.encode() + struct.pack("<3I", 0x12345678, 0x9ABCDEF0,
                                                            len(blocks) if count is None else count)
    return header + b"".join(blocks) + b"[EOF DATAFILE]"


def write(case, relative, data):
    path = os.path.join(HERE, case, relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(data)


# add_one_data_file_to_new_target: the same blocks, a new stamp, upd unchanged.
main_c = block("src/main.c", 1764000000, 0x1234ABCD, rwr=2, upd=3, f=[5, 0], j=[1, 2, 3], dt=[4], df=[6],
               c=[7, 8], tt=[100], tm=[60])
util_c = block("src/util.c", 1763000000, 0x0BADF00D, f=[9])
write("add_one_data_file_to_new_target", "input/a.dat", data_file([main_c, util_c]))
write("add_one_data_file_to_new_target", "expected/files/merged.dat", data_file([main_c, util_c], RUN_STAMP))
write("add_one_data_file_to_new_target", "expected/files/a.dat", data_file([main_c, util_c]))  # left as it was

# add_same_data_file_twice: counts doubled but stopping at 4294967295, time
# totals wrapping, time maxima unchanged (-5 stays: the signed larger one),
# upd = 2 * upd + 1, the order of the blocks kept.
s_c = dict(name="s.c", time=1764000000, fingerprint=0xCAFE0001, rwr=1)
t_c = dict(name="t.c", time=1764000001, fingerprint=0x00000002)
write("add_same_data_file_twice", "input/a.dat", data_file([
    block(**s_c, upd=5, f=[4294967000, 7], j=[2147483648], dt=[10], df=[0], c=[4294967295],
          tt=[0x90000000, 5], tm=[-5, 100]),
    block(**t_c, upd=0, f=[1]),
]))
write("add_same_data_file_twice", "expected/files/twice.dat", data_file([
    block(**s_c, upd=11, f=[4294967295, 14], j=[4294967295], dt=[20], df=[0], c=[4294967295],
          tt=[0x20000000, 10], tm=[-5, 100]),
    block(**t_c, upd=1, f=[2]),
], RUN_STAMP))

# add_different_fingerprints_into_an_input: b.dat against a.dat, written over a.dat.
#   q: same time, other fingerprint -> Notice 4, a.dat's block stays in place
#   p: later time, other fingerprint -> Notice 7, b.dat's block (its spelling) at the end
#   r: same instrumentation, earlier time -> added, time kept, upd 4 + 6 + 1, moved to the end
#   s: time -5 is earlier than 1000 as a signed value -> Notice 4
p_a = block("lib/p.c", 1000000000, 0x11111111, f=[1])
q_a = block("lib/q.c", 1000000000, 0x22222222, f=[2])
r_a = block("lib/r.c", 1000000000, 0x33333333, upd=4, f=[3])
s_a = block("lib/s.c", 1000, 0x66666666, f=[4])
q_b = block("lib/q.c", 1000000000, 0x44444444, f=[50])
p_b = block("LIB\\P.C", 1000000500, 0x55555555, f=[60, 61])
r_b = block("lib/R.c", 999999999, 0x33333333, upd=6, f=[30])
s_b = block("lib/s.c", -5, 0x77777777, f=[40])
r_sum = block("lib/r.c", 1000000000, 0x33333333, upd=11, f=[33])
case = "add_different_fingerprints_into_an_input"
write(case, "input/a.dat", data_file([p_a, q_a, r_a, s_a]))
write(case, "input/b.dat", data_file([q_b, p_b, r_b, s_b]))
write(case, "expected/files/a.dat", data_file([q_a, s_a, p_b, r_sum], RUN_STAMP))

# add_data_files_chosen_and_unchosen: -f "src/*" -nf "*skip.c".
keep = block("src/keep.c", 1700000000, 0xA, f=[1])
other = block("SRC/Other.C", 1700000000, 0xB, f=[2])
write("add_data_files_chosen_and_unchosen", "input/a.dat", data_file([
    keep,
    block("test/drop.c", 1700000000, 0xC, f=[3]),
    block("src/gen/skip.c", 1700000000, 0xD, f=[4]),
    other,
]))
write("add_data_files_chosen_and_unchosen", "expected/files/out.dat", data_file([keep, other], RUN_STAMP))

# contents_data_files_only: two blocks of one name, a negative time, no sizes merged.
write("contents_data_files_only", "input/a.dat", data_file([
    block("m.c", 1764000000, 0x0000BEEF, rwr=3, upd=1, f=[1, 2], j=[3]),
    block("m.c", 1764000000, 0xBEEF0000, f=[1]),
]))
write("contents_data_files_only", "input/b.dat", data_file([block("old.c", -86400, 0xFFFFFFFF, f=[1])]))

# contents_two_descriptions_with_counters: the data file for the two descriptions.
write("contents_two_descriptions_with_counters", "input/x.dat", data_file([
    block("x.c", 1764000000, 0x00000002, rwr=7, upd=8, f=[1, 1], j=[1, 1, 1], dt=[1], df=[1], c=[1, 1],
          tt=[1], tm=[1]),
]))

# contents_bad_block_in_middle: the second block of bad.dat has size F 0.
write("contents_bad_block_in_middle", "input/bad.dat", data_file([
    block("first.c", 1764000000, 0x1, f=[1]),
    block("broken.c", 1764000000, 0x2, f=[], f_size=0),
    block("never.c", 1764000000, 0x3, f=[1]),
]))
write("contents_bad_block_in_middle", "input/good.dat", data_file([block("after.c", 1764000000, 0x4, f=[1])]))

# contents_chosen_files: -f "*.c" in both sections.
write("contents_chosen_files", "input/d.dat", data_file([
    block("inc/d.h", 1764000000, 0x5, f=[1]),
    block("src/d.c", 1764000000, 0x6, f=[1]),
]))

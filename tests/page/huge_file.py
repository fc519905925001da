#!/usr/bin/env python3
"""The Linux side of the round trip of a file larger than 4 GiB.

  huge_file.py make DIR SIZE
      DIR/in.bin: a sparse file of SIZE bytes with blocks of every byte value around
      the 2 GiB and 4 GiB marks and at its end.
  huge_file.py expect DIR KEY
      Codes in.bin by the definition, 9990-byte chunk by chunk with the key restarting
      at each, without keeping the result, and leaves in DIR/expected the lines
      "input HASH SIZE" and "expected HASH SIZE".
  huge_file.py hash FILE
      Prints "HASH SIZE" of FILE.
"""
import hashlib
import os
import sys

CHUNK = 9990
BLOCK = 105 * CHUNK
MARK = 20000


def mark_offsets(size):
    return [0, 2**31 - 7, 2**32 - MARK // 2, 2**32 + 3 * CHUNK + 17, size - MARK]


def mark_bytes(offset):
    return bytes((offset + i * 131 + i // 256) & 255 for i in range(MARK))


def make(folder, size):
    with open(os.path.join(folder, "in.bin"), "wb") as f:
        f.truncate(size)
        for offset in mark_offsets(size):
            f.seek(offset)
            f.write(mark_bytes(offset))


def code_chunk(chunk, shifts):
    n = len(shifts)
    return bytes((b + shifts[i % n]) & 255 for i, b in enumerate(chunk))


def expected(folder, key, out):
    """Hashes in.bin and what coding it must give, by the definition."""
    shifts = [(ord(c) - 48) & 255 for c in key]
    zero_chunk = bytes(CHUNK)
    coded_zero_chunk = code_chunk(zero_chunk, shifts)
    zero_block = bytes(BLOCK)
    coded_zero_block = coded_zero_chunk * (BLOCK // CHUNK)
    plain, coded, size = hashlib.sha256(), hashlib.sha256(), 0
    with open(os.path.join(folder, "in.bin"), "rb") as f:
        total = os.fstat(f.fileno()).st_size
        while size < total:
            # Blocks wholly inside a hole of the sparse file are zeros: no need to read them.
            try:
                data_at = os.lseek(f.fileno(), size, os.SEEK_DATA)
            except OSError:
                data_at = total
            if data_at >= size + BLOCK and size + BLOCK <= total:
                plain.update(zero_block)
                coded.update(coded_zero_block)
                size += BLOCK
                continue
            f.seek(size)
            block = f.read(min(BLOCK, total - size))
            plain.update(block)
            for start in range(0, len(block), CHUNK):
                chunk = block[start:start + CHUNK]
                zero = chunk == zero_chunk[:len(chunk)]
                coded.update(coded_zero_chunk[:len(chunk)] if zero else code_chunk(chunk, shifts))
            size += len(block)
    out["input"] = f"{plain.hexdigest()} {size}"
    out["expected"] = f"{coded.hexdigest()} {size}"


def hash_file(path):
    digest, size = hashlib.sha256(), 0
    with open(path, "rb") as f:
        while block := f.read(BLOCK):
            digest.update(block)
            size += len(block)
    return f"{digest.hexdigest()} {size}"


def expect(folder, key):
    out = {}
    expected(folder, key, out)
    path = os.path.join(folder, "expected")
    with open(path + ".tmp", "w") as f:
        f.write(f"input {out['input']}\nexpected {out['expected']}\n")
    os.rename(path + ".tmp", path)


if __name__ == "__main__":
    if sys.argv[1] == "make":
        make(sys.argv[2], int(sys.argv[3]))
    elif sys.argv[1] == "expect":
        expect(sys.argv[2], sys.argv[3])
    else:
        print(hash_file(sys.argv[2]))

#!/usr/bin/env python3
"""The Linux side of the round trip of a file larger than 4 GiB.

  huge_file.py make DIR SIZE
      DIR/in.bin: a sparse file of SIZE bytes with blocks of every byte value around
      the 2 GiB and 4 GiB marks and at its end, and the pipes coded.fifo, relay.fifo
      and decoded.fifo.
  huge_file.py serve DIR KEY
      Reads what one Travok codes into coded.fifo, hashes it and passes it on through
      relay.fifo to a second Travok that decodes it into decoded.fifo, which is hashed
      too. Meanwhile it codes in.bin itself, 9990-byte chunk by chunk with the key
      restarting at each, and hashes that. DIR/relay-open appears once the decoding
      Travok holds relay.fifo; DIR/result holds the hashes and byte counts at the end.

Pipes keep the gigabytes out of memory and off the disk.
"""
import hashlib
import os
import sys
import threading

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
    for name in ("coded.fifo", "relay.fifo", "decoded.fifo"):
        os.mkfifo(os.path.join(folder, name))


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


def relay(folder, out):
    digest, size = hashlib.sha256(), 0
    with open(os.path.join(folder, "relay.fifo"), "wb") as onward:
        open(os.path.join(folder, "relay-open"), "w").close()
        with open(os.path.join(folder, "coded.fifo"), "rb") as coded:
            while block := coded.read(BLOCK):
                digest.update(block)
                onward.write(block)
                size += len(block)
    out["coded"] = f"{digest.hexdigest()} {size}"


def drain(folder, out):
    digest, size = hashlib.sha256(), 0
    with open(os.path.join(folder, "decoded.fifo"), "rb") as decoded:
        while block := decoded.read(BLOCK):
            digest.update(block)
            size += len(block)
    out["decoded"] = f"{digest.hexdigest()} {size}"


def serve(folder, key):
    out = {}
    threads = [threading.Thread(target=t, args=(folder, out)) for t in (relay, drain)]
    for t in threads:
        t.start()
    expected(folder, key, out)
    for t in threads:
        t.join()
    path = os.path.join(folder, "result")
    with open(path + ".tmp", "w") as f:
        for name in ("input", "expected", "coded", "decoded"):
            f.write(f"{name} {out.get(name, 'missing')}\n")
    os.rename(path + ".tmp", path)


if __name__ == "__main__":
    if sys.argv[1] == "make":
        make(sys.argv[2], int(sys.argv[3]))
    else:
        serve(sys.argv[2], sys.argv[3])

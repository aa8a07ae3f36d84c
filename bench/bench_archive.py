# The archive both restore-point benchmarks install into: header, data, directory of
# `records` records of 36 bytes (dead flag, offset, size, time, 16-byte name, 4 spare
# bytes), one in ten dead space, 512 to 4,096 bytes of data each. Returns the bytes of
# its directory and header.
import struct


def write_archive(path, rnd, records=20000, stride=36):
    data, dirs = bytearray(), []
    for i in range(records):
        n, dead = rnd.randint(512, 4096), i % 10 == 5
        name = b"<DEAD SPACE>" if dead else b"f%d.pcx" % i
        dirs.append(struct.pack("<iiii", int(dead), 20 + len(data), n, 1000) +
                    name.ljust(16, b"\0") + b"SUM!")
        data += bytes([97 + i % 26]) * n
    with open(path, "wb") as f:
        f.write(struct.pack("<i4siii", 20, b"PFF3", records, stride, 20 + len(data)) + data +
                b"".join(dirs))
    return records * stride + 20

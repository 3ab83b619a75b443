#!/usr/bin/env bash
# Draws docs/pictures/highlights-shadows-edge.png: a sharp edge between a dark and a light field over
# a grey ramp, before (left) and after (right) rux-render's --shadows 1 --highlights -1. The dark side
# lifts and the light side darkens right up to the edge, with no bright or dark band beside it.
#
#   scripts/highlights-shadows-edge.sh [build directory, default build/release]
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/release}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

python3 - "$work/before.png" <<'PY'
import struct, sys, zlib
w, h = 240, 160
rows = []
for y in range(h):
    row = bytearray()
    for x in range(w):
        # The top two thirds: the edge; the bottom third: a ramp from black to white.
        v = (40 if x < w // 2 else 200) if y < 2 * h // 3 else round(255 * x / (w - 1))
        row += bytes((v, v, v))
    rows.append(b"\0" + bytes(row))
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
with open(sys.argv[1], "wb") as f:
    f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(b"".join(rows))) + chunk(b"IEND", b""))
PY

"$build/App/rux-render" "$work/before.png" "$work/after.png" --scale 1 --resolution full --shadows 1 --highlights -1

python3 - "$work/before.png" "$work/after.png" "$root/docs/pictures/highlights-shadows-edge.png" <<'PY'
import struct, sys, zlib
def read(path):
    data = open(path, "rb").read()
    pos, idat, info = 8, b"", None
    while pos < len(data):
        n, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + n]
        if kind == b"IHDR":
            info = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + n
    w, h, depth, colour = info[:4]
    channels = {2: 3, 6: 4, 0: 1, 4: 2}[colour]
    raw, stride, out, prev = zlib.decompress(idat), w * channels, [], bytearray(w * channels)
    for y in range(h):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b, c = prev[i], prev[i - channels] if i >= channels else 0
            p = a + b - c
            predictor = [0, a, b, (a + b) // 2,
                         a if abs(p - a) <= abs(p - b) and abs(p - a) <= abs(p - c) else b if abs(p - b) <= abs(p - c) else c][kind]
            line[i] = (line[i] + predictor) & 255
        out.append([bytes(line[x * channels:x * channels + 3]) if channels >= 3 else bytes([line[x * channels]] * 3)
                    for x in range(w)])
        prev = line
    return w, h, out
wa, h, a = read(sys.argv[1])
wb, _, b = read(sys.argv[2])
gap = 6
rows = []
for y in range(h):
    rows.append(b"\0" + b"".join(a[y]) + b"\xff" * (3 * gap) + b"".join(b[y]))
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
with open(sys.argv[3], "wb") as f:
    f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", wa + gap + wb, h, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))
PY
echo "wrote $root/docs/pictures/highlights-shadows-edge.png"

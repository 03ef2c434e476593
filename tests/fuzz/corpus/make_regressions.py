#!/usr/bin/env python3
# Writes the image regression inputs of the bmps corpus: each file is the fuzz target's
# selector byte (0 = a .png, 1 = a .jpg) followed by the file. Run from this folder; the
# JPEG ones are derived from the committed seed bmps/jpeg-seed.
import struct, zlib

def chunk(kind, data, length=None):
    n = len(data) if length is None else length
    return struct.pack(">I", n) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

def png(w, h, *chunks):
    ihdr = chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
    return b"\x89PNG\r\n\x1a\n" + ihdr + b"".join(chunks)

def put(name, selector, data):
    with open("bmps/" + name, "wb") as f:
        f.write(bytes([selector]) + data)

# A text chunk claiming 63 bytes that holds 7: the PNG reader never returned.
put("png-chunk-past-end", 0, png(4, 4)[:33] + struct.pack(">I", 63) + b"tEXtComment\0cut")
# 337 bytes declaring 32768 x 32768: the library's 32-bit buffer size wrapped to 0.
rows = zlib.compress(b"\0" * (1 + 4 * 32768) * 64, 9)[:280]
put("png-huge", 0, png(32768, 32768, chunk(b"IDAT", rows), chunk(b"IEND", b"")))
put("png-seed", 0, png(2, 1, chunk(b"IDAT", zlib.compress(b"\0" + b"\x10\x20\x30\xff" * 2)), chunk(b"IEND", b"")))
jpeg = open("bmps/jpeg-seed", "rb").read()[1:]
# A marker segment after the scan running past the end: the JPEG reader looped at the end.
put("jpeg-segment-after-scan", 1, jpeg[:-2] + b"\xff\xe1\x10\x00")
# A frame declaring 20000 x 20000.
sof = jpeg.index(b"\xff\xc0")
put("jpeg-huge", 1, jpeg[:sof + 5] + struct.pack(">HH", 20000, 20000) + jpeg[sof + 9:])

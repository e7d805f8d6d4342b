# Pillow's view of a TIFF file's pages, as raw RGB: CMYK turned into RGB by the library's
# formula, 16-bit grey by its high byte. Images marked as reduced resolution (NewSubfileType
# bit 0, also how deleted pages are marked) are not pages. As a program: pillow_pages.py
# FILE... writes FILE.N.rgb for every page N and prints "FILE PAGES WIDTH HEIGHT" per file.
import sys

from PIL import Image


def expected(im):
    if im.mode == 'CMYK':
        data = bytearray()
        for c, m, y, k in im.getdata():
            kk = 255 - k
            data += bytes((kk * (255 - c) // 255, kk * (255 - m) // 255, kk * (255 - y) // 255))
        return bytes(data)
    if im.mode in ('I;16', 'I;16B', 'I;16L', 'I'):
        return bytes(v >> 8 for v in im.getdata() for _ in range(3))
    return im.convert('RGB').tobytes()


def frames(name):
    """Frame numbers of the pages."""
    out = []
    for frame in range(getattr(Image.open(name), 'n_frames', 1)):
        im = Image.open(name)
        im.seek(frame)
        if not im.tag_v2.get(254, 0) & 1:
            out.append(frame)
    return out


def dump(name):
    pages = frames(name)
    for page, frame in enumerate(pages):
        im = Image.open(name)  # a fresh open per page: Pillow mixes up palettes across seeks
        im.seek(frame)
        with open(f'{name}.{page}.rgb', 'wb') as f:
            f.write(expected(im))
    first = Image.open(name)
    print(name, len(pages), first.size[0], first.size[1])


if __name__ == '__main__':
    for arg in sys.argv[1:]:
        dump(arg)

# Builds the reading corpus with Pillow, tiffcp and ImageMagick, and writes for every page of
# every file the pixels Pillow decodes (pillow_pages.expected). Usage: make_corpus.py FOLDER
# Writes FOLDER/manifest.txt: one line per page: "file page width height".
import os
import subprocess
import sys

from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pillow_pages import expected  # noqa: E402

out = sys.argv[1]
os.chdir(out)


def run(*args):
    subprocess.run(args, check=True, capture_output=True)


# Odd sizes so that rows need padding and strips end short.
W, H = 123, 77
rgb = Image.new('RGB', (W, H))
px = rgb.load()
for y in range(H):
    for x in range(W):
        px[x, y] = ((x * 2) % 256, (x * y) % 256, (y * 3 + x // 4) % 256)
for i in range(20, 60):
    for j in range(10, 40):
        px[i, j] = (250, 250, 250)
rgb.save('src-rgb.tif')
rgb.convert('1').save('src-bw.tif')
rgb.convert('L').save('src-grey.tif')
rgb.convert('P', palette=Image.ADAPTIVE, colors=200).save('src-pal.tif')

files = []
for c in ['none', 'packbits', 'lzw', 'lzw:2']:
    run('tiffcp', '-c', c, '-r', '16', 'src-rgb.tif', f'rgb-{c}.tif')
    files.append(f'rgb-{c}.tif')
for c in ['none', 'g3:1d', 'g3:1d,fill', 'g3:2d', 'g3:2d,fill', 'g4', 'packbits', 'lzw']:
    run('tiffcp', '-c', c, '-r', '20', 'src-bw.tif', f'bw-{c}.tif')
    files.append(f'bw-{c}.tif')
Image.open('src-bw.tif').save('bw-mh.tif', compression='tiff_ccitt')
files.append('bw-mh.tif')
run('tiffcp', '-c', 'g4', '-f', 'lsb2msb', 'src-bw.tif', 'bw-g4-lsb2msb.tif')
run('tiffcp', '-c', 'none', '-f', 'lsb2msb', 'src-bw.tif', 'bw-none-lsb2msb.tif')
run('tiffcp', '-p', 'separate', '-c', 'none', 'src-rgb.tif', 'rgb-separate.tif')
run('tiffcp', '-p', 'separate', '-c', 'lzw:2', 'src-rgb.tif', 'rgb-separate-lzw.tif')
run('tiffcp', '-B', '-c', 'lzw:2', 'src-rgb.tif', 'rgb-be-lzw.tif')
run('tiffcp', '-B', '-c', 'g4', 'src-bw.tif', 'bw-be-g4.tif')
run('tiffcp', '-B', '-c', 'none', 'src-pal.tif', 'pal-be.tif')
run('tiffcp', '-c', 'packbits', 'src-rgb.tif', 'src-bw.tif', 'src-grey.tif', 'src-pal.tif', 'multi.tif')
run('tiffcp', '-B', '-c', 'lzw', 'src-grey.tif', 'src-rgb.tif', 'multi-be.tif')
files += ['bw-g4-lsb2msb.tif', 'bw-none-lsb2msb.tif', 'rgb-separate.tif', 'rgb-separate-lzw.tif',
          'rgb-be-lzw.tif', 'bw-be-g4.tif', 'pal-be.tif', 'multi.tif', 'multi-be.tif']

Image.open('src-pal.tif').save('pal-lzw.tif', compression='tiff_lzw')
Image.open('src-grey.tif').save('grey8.tif')
rgb.convert('CMYK').save('cmyk.tif')
rgb.convert('RGBA').save('rgba.tif', compression='tiff_lzw')
g16 = Image.new('I;16', (W, H))
g16.putdata([(x * 517 + y * 203) % 65536 for y in range(H) for x in range(W)])
g16.save('grey16.tif')
run('convert', 'src-grey.tif', '-depth', '4', 'grey4.tif')
run('convert', 'src-grey.tif', '-depth', '2', 'grey2.tif')
run('convert', 'src-grey.tif', '-define', 'quantum:polarity=min-is-white', '-compress', 'lzw',
    '-define', 'tiff:predictor=2', 'grey-white-pred.tif')
run('convert', 'src-rgb.tif', '-colorspace', 'cmyk', '-compress', 'lzw', 'cmyk-magick.tif')
run('convert', 'src-rgb.tif', '-depth', '16', 'rgb48.tif')
files += ['pal-lzw.tif', 'grey8.tif', 'cmyk.tif', 'rgba.tif', 'grey16.tif', 'grey4.tif', 'grey2.tif',
          'grey-white-pred.tif', 'cmyk-magick.tif', 'rgb48.tif']


with open('manifest.txt', 'w') as manifest:
    for name in files:
        for page in range(getattr(Image.open(name), 'n_frames', 1)):
            im = Image.open(name)  # a fresh open per page: Pillow mixes up palettes across seeks
            im.seek(page)
            with open(f'{name}.{page}.rgb', 'wb') as f:
                f.write(expected(im))
            manifest.write(f'{name} {page} {im.size[0]} {im.size[1]}\n')

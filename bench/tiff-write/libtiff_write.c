/* Writes an uncompressed TIFF's image again with libtiff N times (strips of about 8 KB, as
   Vellum32 writes them); prints the best CPU time in seconds.
     libtiff_write IN.tif OUT.tif COMPRESSION RUNS */
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <tiffio.h>

static double now(void) {
    struct timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t); /* CPU time: the machine is shared */
    return t.tv_sec + t.tv_nsec / 1e9;
}

int main(int argc, char** argv) {
    if (argc != 5) return 2;
    TIFFSetWarningHandler(NULL);
    TIFF* in = TIFFOpen(argv[1], "r");
    if (!in) return 1;
    uint32_t w, h;
    uint16_t bps, spp, photometric;
    TIFFGetField(in, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(in, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetFieldDefaulted(in, TIFFTAG_BITSPERSAMPLE, &bps);
    TIFFGetFieldDefaulted(in, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetField(in, TIFFTAG_PHOTOMETRIC, &photometric);
    tmsize_t row = TIFFScanlineSize(in);
    unsigned char* image = malloc((size_t)row * h);
    for (uint32_t y = 0; y < h; ++y) TIFFReadScanline(in, image + (size_t)y * row, y, 0);
    TIFFClose(in);
    int compression = atoi(argv[3]);
    uint32_t strips = (uint32_t)(((uint64_t)row * h + 8095) / 8096);
    if (strips > 200) strips = 200;
    if (strips < 1) strips = 1;
    uint32_t rps = (h + strips - 1) / strips;
    double best = 1e9;
    for (int i = 0; i < atoi(argv[4]); ++i) {
        double start = now();
        TIFF* out = TIFFOpen(argv[2], "w");
        TIFFSetField(out, TIFFTAG_IMAGEWIDTH, w);
        TIFFSetField(out, TIFFTAG_IMAGELENGTH, h);
        TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, bps);
        TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, spp);
        TIFFSetField(out, TIFFTAG_PHOTOMETRIC, compression == 4 ? PHOTOMETRIC_MINISWHITE : photometric);
        TIFFSetField(out, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(out, TIFFTAG_COMPRESSION, compression);
        TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, rps);
        for (uint32_t s = 0; s * rps < h; ++s) {
            uint32_t rows = h - s * rps < rps ? h - s * rps : rps;
            if (compression == 4 && photometric != PHOTOMETRIC_MINISWHITE) {
                /* the same bits as the page: white is 0 in a min-is-white fax page */
                for (size_t k = 0; k < (size_t)row * rows; ++k) image[(size_t)s * rps * row + k] ^= 0xFF;
            }
            TIFFWriteEncodedStrip(out, s, image + (size_t)s * rps * row, (tmsize_t)row * rows);
            if (compression == 4 && photometric != PHOTOMETRIC_MINISWHITE)
                for (size_t k = 0; k < (size_t)row * rows; ++k) image[(size_t)s * rps * row + k] ^= 0xFF;
        }
        TIFFClose(out);
        double t = now() - start;
        if (t < best) best = t;
    }
    free(image);
    printf("%.6f\n", best);
    return 0;
}

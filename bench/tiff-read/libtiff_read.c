/* Decodes every strip of a TIFF's first page with libtiff N times into one image buffer;
   prints the best CPU time in seconds. */
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
    if (argc != 3) return 2;
    TIFFSetWarningHandler(NULL);
    int runs = atoi(argv[2]);
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        double start = now();
        TIFF* tif = TIFFOpen(argv[1], "r");
        if (!tif) return 1;
        tmsize_t stripSize = TIFFStripSize(tif);
        uint32_t strips = TIFFNumberOfStrips(tif);
        unsigned char* buf = calloc((size_t)strips, (size_t)stripSize);
        for (uint32_t s = 0; s < strips; ++s)
            if (TIFFReadEncodedStrip(tif, s, buf + (size_t)s * stripSize, stripSize) < 0) return 1;
        free(buf);
        TIFFClose(tif);
        double t = now() - start;
        if (t < best) best = t;
    }
    printf("%.6f\n", best);
    return 0;
}

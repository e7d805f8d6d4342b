// The resampling kernels for the baseline instruction set.
#define LQ_KERNELS kBaselineKernels
#include "imaging/LQResampleKernels.inc"

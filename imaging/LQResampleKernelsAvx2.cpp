// The resampling kernels for processors with AVX2 (compiled with -mavx2).
#define LQ_KERNELS kAvx2Kernels
#include "imaging/LQResampleKernels.inc"

// The image decoder's implementation, compiled with the fuzzer's instrumentation: the program's own
// definitions take the place of the shared library's, so the fuzzer sees which of its branches ran.
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

// Whether the SSE2 paths are built: wherever the compiler says SSE2 is
// there, and on every x64 compiler of Microsoft's, which says so no other
// way; never where MORVANE_SCALAR asks for the portable paths (as the page's
// WebAssembly build has them), so that they are tested too.
#pragma once

#if (defined(__SSE2__) || defined(_M_X64)) && !defined(MORVANE_SCALAR)
#define MORVANE_SSE2 1
#include <emmintrin.h>
#endif

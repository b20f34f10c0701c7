#include "program_start.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

int main(int argc, char** argv)
{
#if defined(__GLIBC__)
    // Every track's reader and encoder run on threads of their own, and glibc
    // gives each new thread an arena that keeps what it freed: a long rip's
    // memory then grew with its track count. One arena holds it to what is in
    // use, and the big buffers the threads pass around make its lock cheap.
    mallopt(M_ARENA_MAX, 1);
#endif
    return sonfeld::app::RunProgram(argc, argv);
}

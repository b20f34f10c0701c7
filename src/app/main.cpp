#include "program_start.h"

int main(int argc, char** argv)
{
    return sonfeld::app::RunProgram(argc, argv);
}

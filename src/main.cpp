#include "app/ProgramEntry.h"

int main(int argc, char** argv)
{
    return pw::app::ProgramEntry(argc, argv);
}

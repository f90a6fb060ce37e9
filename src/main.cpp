#include "app/BatchUpdate.h"
#include "app/TStartup.h"

int main(int argc, char** argv)
{
    if (pw::app::BatchUpdate::Requested(argc, argv))
        return pw::app::BatchUpdate::Main(argc, argv);
    return pw::app::RunPanelwick(argc, argv);
}

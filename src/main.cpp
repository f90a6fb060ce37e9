#include "app/TStartup.h"

int main(int argc, char** argv) { return pw::app::RunPanelwick(argc, argv); }

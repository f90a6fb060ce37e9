// A window module of another build, as an older installation may leave behind.
extern "C" __attribute__((visibility("default"))) const char* panelwick_window_build()
{
    return "0.9+gitother";
}

extern "C" __attribute__((visibility("default"))) int panelwick_run_window()
{
    __builtin_trap(); // a program that called this would crash, not fail with its reason
}

#include "ui/window_services.h"

// The native build has no window.
void gf_setWindowTopmost(bool) {}

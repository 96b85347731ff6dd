#pragma once
// The eight settings that loading a park airport may change (its learned file, or the
// defaults for its quality): taken before each load and put back, and stored, when the
// park airport is dropped, so that parameters.xml keeps what the user had.
#include <cstdint>

void gf_takeParkSettingsSnapshot();
// Stores and shows the values of the last snapshot; nothing when none was taken since
// the last restore.
void gf_restoreParkSettingsSnapshot();

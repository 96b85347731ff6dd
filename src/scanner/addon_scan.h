#pragma once
// The scan of the user's add-on airport folders.

// Scans the folders afolder0..9 ("airports scan {} starts"); a user error when none is
// set; tests the stop flags.
void gf_scanAddonAirports();

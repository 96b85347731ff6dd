#pragma once
// The few settings the foundation's own helpers read, kept behind functions so that the
// helpers do not depend on the whole settings catalogue.

// The setting RANDOM: random livery picks and shuffles on.
bool gf_randomChoicesOn();

#pragma once
// Loading the settings at the start of every run of the traffic service, and bringing a
// parameters.xml of an older version up to date.

// Reads parameters.xml; a file created anew asks for the livery and airport scans, an
// existing one is migrated: PROGRAM_VERSION records the running version, a file older
// than 11.0.2 is replaced by the defaults (kept as parameters0.xml), a newer one loses
// the obsolete settings, and the obsolete files and folders of the current folder are
// deleted. A stored version that cannot be read is migrated as the oldest version that
// can be (never reset).
void gf_loadParameters();

#pragma once
// The check for newer data files and program versions at the first start-up of the
// process.

// Downloads and reads the versions list, fetches newer data files and asks for rescans;
// false when a newer program was fetched (the close reason "NEW VERSION" is then asked
// for), true otherwise.
bool gf_checkForUpdates();

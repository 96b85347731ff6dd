#pragma once
// How a reader thread that stopped on an error ends the run of the traffic service.
#include <string_view>

// Shows and logs "The {} has stopped with error: {}"; then, unless a stop is already
// pending, ends the run with "READER ERROR" and a restart after 15 seconds.
void gf_reportReaderStopped(std::string_view readerName, std::string_view error);

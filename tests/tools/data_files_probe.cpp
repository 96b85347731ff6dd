// Reads the data files of a program folder as the start-up does and prints the outcome.
//   data_files_probe <log file> <program folder>
#include <cstdio>
#include <exception>
#include <filesystem>

#include "catalogue/dbase.h"
#include "foundation/log.h"
#include "foundation/text.h"
#include "parking/airports.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: data_files_probe <log> <program folder>\n", stderr);
        return 2;
    }
    try {
        gf_openLogAt(gf_pathFromUtf8(argv[1]));
        std::filesystem::current_path(gf_pathFromUtf8(argv[2]));
        const bool dbase = gf_readDbase();
        const bool airports = gf_readAirports();
        std::printf("dbase=%s airports=%s\n", dbase ? "true" : "false", airports ? "true" : "false");
        gf_closeLog();
        return dbase && airports ? 0 : 1;
    } catch (const std::exception& e) {
        std::printf("exception=%s\n", e.what());
        gf_closeLog();
        return 1;
    }
}

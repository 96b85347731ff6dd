#pragma once
// The production switches of the command line, the only arguments the program knows.
#include <string>
#include <vector>

struct ProductionSwitches {
    bool production = false; // the value of the last switch given
    bool given = false;      // any production switch was on the command line
};

// "--production" / "/production" turn production mode on, "--no-production" /
// "/no-production" off; compared ignoring ASCII case, the last one wins, anything else is
// ignored. The arguments are those after the program name, in UTF-8.
ProductionSwitches gf_readProductionSwitches(const std::vector<std::string>& arguments);

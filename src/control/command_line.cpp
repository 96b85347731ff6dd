#include "control/command_line.h"

#include "foundation/text.h"

ProductionSwitches gf_readProductionSwitches(const std::vector<std::string>& arguments)
{
    ProductionSwitches result;
    for (const std::string& argument : arguments) {
        const std::string upper = gf_toUpperAscii(argument);
        if (upper == "--PRODUCTION" || upper == "/PRODUCTION") {
            result.production = true;
            result.given = true;
        } else if (upper == "--NO-PRODUCTION" || upper == "/NO-PRODUCTION") {
            result.production = false;
            result.given = true;
        }
    }
    return result;
}

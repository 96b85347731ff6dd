#include "foundation/file_helpers.h"

#include "foundation/log.h"

// The native build has no shell to show a folder in.
bool gf_openInExplorer(const std::filesystem::path&)
{
    return false;
}

bool gf_openManual()
{
    gf_logErrorLine("Could not open local folder with Manual");
    return false;
}

bool gf_openParametersFolder()
{
    gf_logErrorLine("Could not open folder with parameters.xml");
    return false;
}

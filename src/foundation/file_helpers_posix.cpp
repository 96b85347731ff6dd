#include "foundation/file_helpers.h"

#include "foundation/log.h"

// The native build has no shell to show a folder or a box in.
bool gf_shellOpenInExplorer(const std::filesystem::path&)
{
    return false;
}

void gf_shellWarningBox(std::string_view text)
{
    gf_logErrorLine(text);
}

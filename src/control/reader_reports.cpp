#include "control/reader_reports.h"

#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/stop_state.h"
#include "ui/messages.h"

namespace {
constexpr int32_t kReaderRestartDelaySeconds = 15;
} // namespace

void gf_reportReaderStopped(std::string_view readerName, std::string_view error)
{
    const std::string text = fmt::format("The {} has stopped with error: {}", readerName, error);
    // Logged here rather than by the message line, which keeps quiet while an error is
    // shown or a stop is pending: a reader's failure always belongs in the log.
    gf_showMessage(text, false);
    gf_logLine(text);
    gf_requestClosingDown(CloseReason::ReaderError, kReaderRestartDelaySeconds);
}

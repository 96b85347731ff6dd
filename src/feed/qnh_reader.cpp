#include "feed/qnh_reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>
#include <string>

#include <fmt/format.h>
#include <gsl/narrow>
#include <nlohmann/json.hpp>

#include "feed/readers.h"
#include "foundation/log.h"
#include "ui/window_state.h"

std::atomic<int32_t> g_qnh{g_defaultQnh};
QnhReader g_qnhReader;

namespace {

constexpr double kHundredthInHgToHpa = 0.33865307;
// The JSON library's messages quote part of the text they failed on.
constexpr size_t kMaxErrorText = 320;

// Rounds halves away from zero; a value that no int32 holds is a narrowing error.
int32_t lf_roundToInt32(double value)
{
    const double r = std::round(value);
    if (!(r >= -2147483648.0 && r <= 2147483647.0))
        throw gsl::narrowing_error{};
    return gsl::narrow<int32_t>(r);
}

void lf_markQnhReaderBound()
{
    g_qnhIndicator = g_readerReceiving;
    gf_invalidateBand(g_connectionBand);
}

void lf_onQnhDatagram(QnhReader& reader)
{
    const std::string_view text = reader.datagram;
    try {
        const nlohmann::json j = nlohmann::json::parse(text);
        int32_t q = g_defaultQnh;
        // A datagram that is no object has no member "QNH" either.
        const nlohmann::json* v = nullptr;
        if (j.is_object()) {
            if (const auto it = j.find("QNH"); it != j.end())
                v = &*it;
        }
        if (!v || v->empty()) {
            gf_logLimited(reader.logLimiter, fmt::format("no QNH {}", gf_loggableText(text)));
            return;
        }
        if (v->is_number_integer()) {
            if (v->is_number_unsigned())
                q = gsl::narrow<int32_t>(v->get<uint64_t>());
            else
                q = gsl::narrow<int32_t>(v->get<int64_t>());
        } else if (v->is_number_float()) {
            q = lf_roundToInt32(static_cast<float>(v->get<double>()));
        } else if (v->is_string()) {
            const std::string& s = v->get_ref<const std::string&>();
            const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), q);
            (void)ptr;
            if (ec != std::errc()) {
                gf_logErrorLimited(reader.logLimiter, fmt::format("QNH string parse error: {} in {}",
                                                                  gf_loggableText(s), gf_loggableText(text)));
                return;
            }
        } else {
            gf_logLimited(reader.logLimiter, fmt::format("no QNH {}", gf_loggableText(text)));
            return;
        }
        if (q > g_maxQnh)
            q = lf_roundToInt32(q * kHundredthInHgToHpa);
        q = std::clamp(q, g_minQnh, g_maxQnh);
        if (q == reader.lastQnh.load() && q != g_defaultQnh)
            return;
        reader.lastQnh = q;
        g_qnh = q;
        g_qnhShown = q;
        int32_t silent = g_readerSilent;
        g_qnhIndicator.compare_exchange_strong(silent, g_readerReceiving);
        gf_invalidateBand(g_connectionBand);
    } catch (const std::exception& e) {
        gf_logLimited(reader.logLimiter, fmt::format("Exception {}, in {}", gf_loggableText(e.what(), kMaxErrorText),
                                                     gf_loggableText(text)));
    }
}

} // namespace

void QnhReader::onDatagram()
{
    lf_onQnhDatagram(*this);
}

void QnhReader::onStopped()
{
    gf_logLine("QNH Reader has stopped");
}

void gf_qnhReaderThread(uint16_t port)
{
    gf_runReader(g_qnhReader, port, &lf_markQnhReaderBound);
}

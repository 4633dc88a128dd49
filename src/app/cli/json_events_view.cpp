// SPDX-License-Identifier: Apache-2.0
#include "app/cli/json_events_view.h"

#include <cmath>
#include <cstdio>

#include "app/runs/run_outcome.h"
#include "app/runs/station_text.h"
#include "app/runs/status_text.h"
#include "engine/handset_probe.h"
#include "platform/local_time.h"
#include "records/production_record.h"
#include "serial/handset_identity.h"

namespace {

std::string Number(double value) {
    if (!std::isfinite(value)) return "0";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

// A text field, or null for an empty one.
std::string TextOrNull(const std::string& text) { return text.empty() ? "null" : JsonString(text); }

std::string Counts(unsigned handsets, unsigned done, unsigned unconfirmed, unsigned failed, unsigned stopped) {
    return ",\"handsets\":" + std::to_string(handsets) + ",\"done\":" + std::to_string(done) +
           ",\"unconfirmed\":" + std::to_string(unconfirmed) + ",\"failed\":" + std::to_string(failed) +
           ",\"stopped\":" + std::to_string(stopped);
}

// "esn" and "esn_dec": the handset's ESN, null for each while it is not known.
std::string EsnFields(const PortRun& run) {
    if (!run.esn) return ",\"esn\":null,\"esn_dec\":null";
    return ",\"esn\":\"" + EsnText(*run.esn) + "\",\"esn_dec\":\"" + EsnDecimal(*run.esn) + "\"";
}

std::string Code(uint32_t code) {
    std::string text = "\"";
    text += StatusCodeText(code);
    text += '"';
    return text;
}

}  // namespace

std::string JsonString(const std::string& raw) { return JsonText(raw); }

void JsonEventsView::Emit(const char* event, const PortRun* run, const std::string& fields) const {
    if (m_session.OutputGone()) return;
    std::string line = "{\"time\":" + JsonString(platform::IsoText(platform::Now())) + ",\"event\":\"" + event + "\"";
    if (run) line += ",\"port\":" + JsonString(run->Port()) + ",\"device\":" + JsonString(run->Device());
    m_session.Print(line + fields + "}");
}

void JsonEventsView::CheckProgress(unsigned percent) {
    // The check's progress is the same for every port: a tenth at a time is plenty.
    if (m_session.Args().quiet || (m_checkTenth >= 0 && static_cast<int>(percent / 10) <= m_checkTenth)) return;
    m_checkTenth = static_cast<int>(percent / 10);
    Emit("check", nullptr, ",\"percent\":" + std::to_string(percent));
}

void JsonEventsView::Refused(const PortRun& run) {
    Emit("refused", &run, ",\"reason\":" + JsonString(run.claim.Why()));
}

void JsonEventsView::Status(const PortRun& run, uint32_t code) {
    const std::string text =
        run.Ended() ? StatusLineBody(code, run.failure, m_session.Text()) : StatusLineBody(code, m_session.Text());
    std::string fields =
        ",\"code\":" + Code(code) + ",\"text\":" + JsonString(text) + ",\"final\":" + (run.Ended() ? "true" : "false");
    const std::string why =
        run.Ended() ? FailureDetailLine(code, run.failure, run.Port(), m_session.Text()) : std::string();
    if (!why.empty()) fields += ",\"reason\":" + JsonString(why);
    if (run.esn) fields += EsnFields(run);
    Emit("status", &run, fields);
}

void JsonEventsView::Waiting(const PortRun& run, const std::string& line) {
    Emit("waiting", &run, ",\"reason\":" + JsonString(line));
}

void JsonEventsView::Progress(const PortRun& run, unsigned percent) {
    if (m_session.Args().quiet) return;
    Emit("progress", &run,
         ",\"percent\":" + std::to_string(percent) + ",\"bytes\":" + std::to_string(run.Bytes()) +
             ",\"rate\":" + Number(run.estimate.BytesPerSecond()));
}

void JsonEventsView::Stopped(const PortRun& run) { Emit("stopped", &run, ",\"bytes\":" + std::to_string(run.Bytes())); }

void JsonEventsView::Finish(const std::vector<std::unique_ptr<PortRun>>& runs) {
    for (const auto& run : runs) {
        const bool ran = run->result != PortRun::Result::kRefused;
        const RunOutcome outcome = OutcomeOf(*run, m_session.Text());
        Emit("summary", run.get(),
             std::string(",\"result\":\"") + outcome.result +
                 "\",\"code\":" + (outcome.code ? Code(*outcome.code) : std::string("null")) +
                 ",\"seconds\":" + Number(ran ? run->Seconds() : 0) + ",\"bytes\":" + std::to_string(run->Bytes()) +
                 ",\"rate\":" + Number(ran ? run->AverageRate() : 0) + EsnFields(*run));
    }
}

void JsonEventsView::EmitPort(const char* event, const StationPort& port, const std::string& fields) const {
    if (m_session.OutputGone()) return;
    m_session.Print("{\"time\":" + JsonString(platform::IsoText(platform::Now())) + ",\"event\":\"" + event +
                    "\",\"port\":" + JsonString(port.Port()) + ",\"device\":" + JsonString(port.Device()) + fields +
                    "}");
}

void JsonEventsView::Confirming(const PortRun& run) {
    Emit("confirming", &run, ",\"timeout\":" + Number(m_session.Args().confirmTimeoutSeconds));
}

void JsonEventsView::Recorded(const PortRun& run) {
    const RunOutcome outcome = OutcomeOf(run, m_session.Text());
    const bool answered = run.confirmed == true;
    const std::string confirmed = run.confirmed ? (*run.confirmed ? "true" : "false") : "null";
    Emit("handset", &run,
         ",\"sequence\":" + std::to_string(run.sequence) + ",\"result\":\"" + outcome.result + "\",\"code\":" +
             (outcome.code ? Code(*outcome.code) : std::string("null")) + ",\"reason\":" + TextOrNull(outcome.reason) +
             ",\"confirmed\":" + confirmed + ",\"confirmed_by\":" + TextOrNull(run.confirmedBy) + EsnFields(run) +
             ",\"mode_after\":" + (answered ? TextOrNull(ModeWord(run.modeAfter)) : std::string("null")) +
             ",\"platform\":" + (answered ? TextOrNull(run.platform) : std::string("null")) +
             ",\"handset_version\":" + TextOrNull(run.worker ? run.worker->HandsetVersion() : std::string()) +
             ",\"load_version\":" + TextOrNull(m_loadVersion) + ",\"started\":" +
             JsonString(platform::IsoText(run.startedAt)) + ",\"ended\":" + JsonString(platform::IsoText(run.endedAt)) +
             ",\"seconds\":" + Number(run.Seconds()) + ",\"bytes\":" + std::to_string(run.Bytes()));
}

void JsonEventsView::PhaseChanged(const StationPort& port) {
    // The confirmation has its own event (Confirming), with the handset's run.
    if (port.phase == StationPort::Phase::kConfirming) return;
    const bool withHandset = port.handset && port.phase != StationPort::Phase::kWaiting;
    std::string fields = std::string(",\"phase\":\"") + PhaseWord(port.phase) + "\",\"sequence\":" +
                         (withHandset ? std::to_string(port.handset->sequence) : std::string("null"));
    if (!port.notice.empty()) fields += ",\"reason\":" + JsonString(port.notice);
    EmitPort("phase", port, fields);
}

void JsonEventsView::FinishStation(const std::vector<std::unique_ptr<StationPort>>& ports, const BenchTotals& totals) {
    for (const auto& port : ports) {
        EmitPort("station", *port, Counts(port->handsets, port->done, port->unconfirmed, port->failed, port->stopped));
    }
    Emit("bench", nullptr,
         Counts(totals.handsets, totals.done, totals.unconfirmed, totals.failed, totals.stopped) +
             ",\"seconds\":" + Number(totals.seconds) + ",\"per_hour\":" + Number(totals.PerHour()));
}

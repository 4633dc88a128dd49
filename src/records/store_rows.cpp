// SPDX-License-Identifier: Apache-2.0
#include "records/store_rows.h"

// The columns of a record, in the order ReadRecord takes them.
const char* const kRecordColumns =
    "store_seq, record_id, started, ended, station, operator, tool_version, port, device, sequence, result, code, "
    "reason, confirmed, confirmed_by, esn, esn_dec, mode_after, platform, handset_version, load_version, load_sha256, "
    "seconds, bytes, prev_hash, hash";

ProductionRecord ReadRecord(const Statement& row) {
    ProductionRecord r;
    int i = 0;
    r.storeSeq = row.Int(i++);
    r.recordId = row.Text(i++);
    r.started = row.Text(i++);
    r.ended = row.Text(i++);
    r.station = row.Text(i++);
    r.operatorName = row.Text(i++);
    r.toolVersion = row.Text(i++);
    r.port = row.Text(i++);
    r.device = row.Text(i++);
    r.sequence = row.Int(i++);
    r.result = row.Text(i++);
    r.code = row.Text(i++);
    r.reason = row.Text(i++);
    if (!row.IsNull(i)) r.confirmed = row.Int(i) != 0;
    ++i;
    r.confirmedBy = row.Text(i++);
    r.esn = row.Text(i++);
    r.esnDecimal = row.Text(i++);
    r.modeAfter = row.Text(i++);
    r.platform = row.Text(i++);
    r.handsetVersion = row.Text(i++);
    r.loadVersion = row.Text(i++);
    r.loadSha256 = row.Text(i++);
    r.seconds = row.Real(i++);
    r.bytes = row.Int(i++);
    r.prevHash = row.Text(i++);
    r.hash = row.Text(i++);
    return r;
}

// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdio>
#include <functional>
#include <string>

#include "records/delivery_send.h"

using LibraryText = std::function<std::string(unsigned id)>;

// The technician's words for why records did not reach the broker (its URL without password).
std::string PublishFaultText(const PublishError& error, const std::string& broker, const LibraryText& text);

// --publish-pending: sends what waits in outbox over connection and says how many went, on
// out; a fault is told on err with the count still waiting, and ends with kExitPublish.
int RunPublishPending(RecordOutbox& outbox, const MqttConnection& connection, const LibraryText& text, std::FILE* out,
                      std::FILE* err);

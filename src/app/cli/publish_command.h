// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "app/cli/cli_arguments.h"
#include "records/delivery_send.h"

using LibraryText = std::function<std::string(unsigned id)>;

// The technician's words for why records did not reach the broker (its URL without password).
std::string PublishFaultText(const PublishError& error, const std::string& broker, const LibraryText& text);

// --publish-pending: sends what waits in outbox over connection and says how many went, on
// out; a fault is told on err with the count still waiting, and ends with kExitPublish.
int RunPublishPending(RecordOutbox& outbox, const MqttConnection& connection, const LibraryText& text, std::FILE* out,
                      std::FILE* err);

// The connection to the broker that --publish (or the settings file's "publish") names, with
// --publish-ca (or "publish_ca"); nothing where none is named. A URL from the settings file
// that is no broker's is told on err and status says how to end (5; 2 for the command line's).
std::optional<MqttConnection> PublishConnection(const CliArguments& args, std::FILE* err, int& status);

// vexlor --cli --publish-pending: the language library, the broker, the record store, then
// RunPublishPending.
int RunPublishPendingCommand(const CliArguments& args, std::FILE* out, std::FILE* err);

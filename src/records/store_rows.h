// SPDX-License-Identifier: Apache-2.0
#pragma once
#include "records/production_record.h"
#include "records/store_statement.h"

// The columns of a record in the store's table, in the order ReadRecord takes them.
extern const char* const kRecordColumns;
// The record in row, whose columns are kRecordColumns from the first.
ProductionRecord ReadRecord(const Statement& row);

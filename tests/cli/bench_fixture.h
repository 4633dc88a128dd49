// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdio>
#include <memory>
#include <string>

#include "app/cli/cli_session.h"
#include "runs_fixture.h"

// What the headless front end's tests add: a session writing to files read back.
class BenchFixture : public RunsFixture {
protected:
    void TearDown() override;

    // A session for args writing to a file (or to out, e.g. a terminal).
    CliSession& Session(const CliArguments& args, std::FILE* out = nullptr);
    std::string Output() const;
    std::string Errors() const;

private:
    CliArguments m_args;
    std::FILE* m_out = nullptr;
    std::FILE* m_err = nullptr;
    std::unique_ptr<CliSession> m_session;
};

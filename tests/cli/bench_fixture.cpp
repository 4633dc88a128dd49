// SPDX-License-Identifier: Apache-2.0
#include "bench_fixture.h"

namespace {

std::string ReadBack(std::FILE* file) {
    std::string text;
    char buffer[4096];
    if (!file || std::fflush(file) != 0) return text;
    std::rewind(file);
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
    return text;
}

}  // namespace

void BenchFixture::TearDown() {
    m_session.reset();
    RunsFixture::TearDown();
    for (std::FILE* file : {m_out, m_err}) {
        if (file) std::fclose(file);
    }
}

CliSession& BenchFixture::Session(const CliArguments& args, std::FILE* out) {
    m_session.reset();
    for (std::FILE* file : {m_out, m_err}) {
        if (file) std::fclose(file);
    }
    m_args = args;
    m_out = out ? nullptr : std::tmpfile();
    m_err = std::tmpfile();
    m_session = std::make_unique<CliSession>(m_args, out ? out : m_out, m_err, queue);
    m_session->UseTexts([this](unsigned id) { return m_language.LoadString(id); });
    return *m_session;
}

std::string BenchFixture::Output() const { return ReadBack(m_out); }
std::string BenchFixture::Errors() const { return ReadBack(m_err); }

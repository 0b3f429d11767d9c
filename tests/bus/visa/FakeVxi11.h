#pragma once
// Runs the VXI-11 test instrument (tests/fakes/vxi11) as a process of its
// own, on ports of 127.0.0.1 chosen for this test, and reads its call log.

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>
#include <string>
#include <vector>

namespace velda::test {

class FakeVxi11 {
public:
    // Extra arguments, e.g. {"--max-recv", "4096"}.
    explicit FakeVxi11(const QStringList& args = {});
    ~FakeVxi11();
    bool running() const { return portmapper_ != 0; }
    std::uint16_t portmapperPort() const { return portmapper_; }
    std::uint16_t corePort() const { return core_; }
    // The log lines so far (see the server's header).
    std::vector<std::string> log() const;
    // Only the lines that begin with `prefix`.
    std::vector<std::string> log(const std::string& prefix) const;

private:
    QTemporaryDir dir_;
    QProcess process_;
    std::uint16_t portmapper_ = 0;
    std::uint16_t core_ = 0;
};

} // namespace velda::test

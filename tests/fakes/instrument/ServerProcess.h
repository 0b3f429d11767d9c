#pragma once
// The test instrument program (velda_test_instrument_server) run as a
// process of its own, for tests that need it outside their own process: it
// prints its port, serves, and on SIGTERM prints what it received.

#include <QProcess>
#include <QString>
#include <QStringList>

namespace velda::test {

class ServerProcess {
public:
    // Starts the program with `arguments` (model, options) and waits for its
    // port; Listening() tells whether it came.
    explicit ServerProcess(const QStringList& arguments, int waitMs = 30000);
    // Kills the program if it still runs.
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    bool Listening() const { return !port_.isEmpty(); }
    QString Port() const { return port_; }
    // "TCPIP0::127.0.0.1::<port>::SOCKET"
    QString Resource() const;
    // Until what it printed after its port holds `text`; false when the
    // program ended or the wait ran out first.
    bool Wait_For(const QString& text);
    void Signal(int signal);
    // SIGTERM; all it printed after its port (a record a line), once ended.
    QString Stop();
    const QProcess& Process() const { return proc_; }

private:
    int waitMs_;
    QProcess proc_;
    QString out_; // after the port line
    QString port_;
};

} // namespace velda::test

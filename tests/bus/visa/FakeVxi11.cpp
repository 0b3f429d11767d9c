#include "FakeVxi11.h"

#include <QFile>
#include <QTextStream>

namespace velda::test {

FakeVxi11::FakeVxi11(const QStringList& args) {
    QStringList all{"--portmap", "0", "--core", "0", "--log", dir_.filePath("calls.log")};
    all += args;
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral(VELDA_BINARY_DIR "/tests/fakes/vxi11/fake_vxi11"), all);
    if (!process_.waitForStarted(10000) || !process_.waitForReadyRead(10000))
        return;
    QString line = QString::fromLatin1(process_.readLine()).trimmed();
    QStringList parts = line.split(' ');
    if (parts.size() == 3 && parts[0] == "PORTS") {
        portmapper_ = static_cast<std::uint16_t>(parts[1].toUInt());
        core_ = static_cast<std::uint16_t>(parts[2].toUInt());
    }
}

FakeVxi11::~FakeVxi11() {
    process_.kill();
    process_.waitForFinished(5000);
}

std::vector<std::string> FakeVxi11::log() const {
    std::vector<std::string> out;
    QFile f(dir_.filePath("calls.log"));
    if (!f.open(QIODevice::ReadOnly))
        return out;
    while (!f.atEnd())
        out.push_back(QString::fromLatin1(f.readLine()).trimmed().toStdString());
    return out;
}

std::vector<std::string> FakeVxi11::log(const std::string& prefix) const {
    std::vector<std::string> out;
    for (auto& l : log())
        if (l.rfind(prefix, 0) == 0)
            out.push_back(l);
    return out;
}

} // namespace velda::test

#pragma once
// The program's bus on interface kind 3 with our own VISA layer, its
// resource 0 the test instrument's SOCKET: the path a transfer to a LAN
// instrument takes.
#include "TestInstrument.h"
#include "bus/GP_common.h"
#include "bus/USBTMC_MDL.h"
#include "bus/visa/OwnVisa.h"

#include <QString>
#include <memory>

namespace velda::test {

inline std::unique_ptr<bus::GP_common> SocketBus(const TestInstrument& inst) {
    bus::BusContext context;
    context.libraryNames = [](const QString&) { return QStringList(); };
    context.endProgram = [] {};
    auto gp = std::make_unique<bus::GP_common>(std::move(context));
    gp->Set_Factory(bus::KindUsbTmc, [](bus::BusContext& c) {
        auto m = std::make_unique<bus::USBTMC_MDL>(c);
        m->Set_Provider_Factory([] { return std::make_unique<visa::OwnVisa>(); });
        return m;
    });
    gp->Set_Interface_Kind(bus::KindUsbTmc);
    auto* usb = static_cast<bus::USBTMC_MDL*>(gp->Module(bus::KindUsbTmc));
    usb->ResourceName[0] = QString::fromStdString(inst.Resource_Name());
    return gp;
}

} // namespace velda::test

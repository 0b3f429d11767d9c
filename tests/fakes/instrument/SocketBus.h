#pragma once
// The program's bus reaching the test instrument as it reaches a LAN
// instrument: interface kind 3 on our own VISA layer, a SOCKET resource.
#include "TestInstrument.h"
#include "bus/GP_common.h"
#include "bus/USBTMC_MDL.h"
#include "bus/visa/OwnVisa.h"

#include <QString>
#include <memory>

namespace velda::test {

// Kind 3 of `bus` on our own VISA layer (not a system VISA library).
inline void Use_Own_Visa(bus::GP_common& bus) {
    bus.Set_Factory(bus::KindUsbTmc, [](bus::BusContext& c) {
        auto m = std::make_unique<bus::USBTMC_MDL>(c);
        m->Set_Provider_Factory([] { return std::make_unique<visa::OwnVisa>(); });
        return m;
    });
}

// A bus of its own on kind 3 whose resource 0 is `resource`.
inline std::unique_ptr<bus::GP_common> SocketBus(const QString& resource) {
    bus::BusContext context;
    context.libraryNames = [](const QString&) { return QStringList(); };
    context.endProgram = [] {};
    auto gp = std::make_unique<bus::GP_common>(std::move(context));
    Use_Own_Visa(*gp);
    gp->Set_Interface_Kind(bus::KindUsbTmc);
    static_cast<bus::USBTMC_MDL*>(gp->Module(bus::KindUsbTmc))->ResourceName[0] = resource;
    return gp;
}

inline std::unique_ptr<bus::GP_common> SocketBus(const TestInstrument& inst) {
    return SocketBus(QString::fromStdString(inst.Resource_Name()));
}

} // namespace velda::test

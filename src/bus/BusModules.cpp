// The back ends this program is built with, one factory per interface kind.
#include "bus/Debug_Mdl.h"
#include "bus/GP_common.h"
#include "bus/KI_GPIB_MDL.h"
#include "bus/NI_GPIB_Mdl.h"
#include "bus/USB488_MDL.h"
#include "bus/USBTMC_MDL.h"

namespace velda::bus {

ModuleFactories DefaultModuleFactories() {
    ModuleFactories f;
    f[KindNiGpib] = FactoryOf<NI_GPIB_Mdl>();
    f[KindKiGpib] = FactoryOf<KI_GPIB_MDL>();
    f[KindUsb488] = FactoryOf<USB488_MDL>();
    f[KindUsbTmc] = FactoryOf<USBTMC_MDL>();
    f[KindDebug] = FactoryOf<Debug_Mdl>();
    return f;
}

} // namespace velda::bus

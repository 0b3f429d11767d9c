#include "bus/GP_common.h"

namespace velda::bus {

GP_common::GP_common() : GP_common(BusContext::Program_Defaults()) {}

GP_common::GP_common(BusContext context, ModuleFactories factories)
    : context_(std::move(context)), factories_(std::move(factories)) {}

GP_common::~GP_common() = default;

void GP_common::Set_Factory(int16_t kind, ModuleFactory factory) {
    if (kind < 0 || kind >= InterfaceKindCount)
        return;
    modules_[size_t(kind)].reset();
    factories_[size_t(kind)] = std::move(factory);
}

BusModule* GP_common::Module(int16_t kind) {
    if (kind < 0 || kind >= InterfaceKindCount)
        return nullptr;
    auto& m = modules_[size_t(kind)];
    if (!m && factories_[size_t(kind)])
        m = factories_[size_t(kind)](context_);
    return m.get();
}

// Each operation goes to the current back end; without one the result is an error.
#define VELDA_DISPATCH(call)                                                                       \
    BusModule* m = current();                                                                      \
    if (m)                                                                                         \
        m->Clear_Error_Text();                                                                     \
    return m ? m->call : StatusError

Status GP_common::GP_Init(const QString& params) {
    VELDA_DISPATCH(GP_Init(params));
}
Status GP_common::GP_Send_Str(int16_t adrs, QString text) {
    VELDA_DISPATCH(GP_Send_Str(adrs, std::move(text)));
}
Status GP_common::GP_Receive_Str(int16_t adrs, QString& text) {
    VELDA_DISPATCH(GP_Receive_Str(adrs, text));
}
Status GP_common::GP_LLO() {
    VELDA_DISPATCH(GP_LLO());
}
Status GP_common::GP_REN(const int16_t& flag) {
    VELDA_DISPATCH(GP_REN(flag));
}
Status GP_common::GP_IFC() {
    VELDA_DISPATCH(GP_IFC());
}
Status GP_common::GP_SDC(int16_t adrs) {
    VELDA_DISPATCH(GP_SDC(adrs));
}
Status GP_common::GP_Time_Out(int16_t code) {
    VELDA_DISPATCH(GP_Time_Out(code));
}
Status GP_common::GP_MTerm(int16_t code) {
    VELDA_DISPATCH(GP_MTerm(code));
}
Status GP_common::GP_EOI(int16_t flag) {
    VELDA_DISPATCH(GP_EOI(flag));
}
Status GP_common::GP_Send_Binary_Data(const BusArray& data, int16_t adrs, int32_t count,
                                      int16_t format, int16_t swap, int32_t last) {
    VELDA_DISPATCH(GP_Send_Binary_Data(data, adrs, count, format, swap, last));
}
Status GP_common::GP_Send_AsciiBinary_Data(const QString& header, const BusArray& data,
                                           int16_t adrs, int32_t count, int16_t format,
                                           int16_t swap, int16_t flag) {
    VELDA_DISPATCH(GP_Send_AsciiBinary_Data(header, data, adrs, count, format, swap, flag));
}

#undef VELDA_DISPATCH

QString GP_common::Last_Error_Text() {
    const BusModule* m = current();
    return m ? m->Last_Error_Text() : QString();
}

} // namespace velda::bus

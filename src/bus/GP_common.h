#pragma once
// The common bus interface: twelve operations, each forwarded to the back end
// of the current interface kind. An unknown kind (or a kind without a back
// end) returns StatusError from every operation without calling anything.
//
// Back ends are made by factories, one slot per interface kind, and created
// on first use of their kind; each keeps its state for the rest of the run.
// A new back end is added with Set_Factory (or a line in
// DefaultModuleFactories), never by editing the dispatch.

#include "bus/BusContext.h"
#include "bus/BusModule.h"
#include "bus/BusStatus.h"

#include <array>
#include <functional>
#include <memory>

namespace velda::bus {

using ModuleFactory = std::function<std::unique_ptr<BusModule>(BusContext&)>;
using ModuleFactories = std::array<ModuleFactory, InterfaceKindCount>;

// The back ends this program is built with, by kind.
ModuleFactories DefaultModuleFactories();

template <class Module> ModuleFactory FactoryOf() {
    return [](BusContext& context) { return std::make_unique<Module>(context); };
}

class GP_common {
public:
    // The running program's context and back ends.
    GP_common();
    explicit GP_common(BusContext context, ModuleFactories factories = DefaultModuleFactories());
    ~GP_common();
    GP_common(const GP_common&) = delete;
    GP_common& operator=(const GP_common&) = delete;

    // The interface kind operations go to (default 3).
    int16_t Interface_Kind() const { return kind_; }
    void Set_Interface_Kind(int16_t kind) { kind_ = kind; }

    // Replaces the factory of a kind; an existing back end of that kind is dropped.
    void Set_Factory(int16_t kind, ModuleFactory factory);
    // The back end of a kind, created on first use; nullptr for an unknown kind.
    BusModule* Module(int16_t kind);
    BusContext& Context() { return context_; }

    Status GP_Init(const QString& params);
    Status GP_Send_Str(int16_t adrs, QString text);
    Status GP_Receive_Str(int16_t adrs, QString& text);
    Status GP_LLO();
    // By reference, as the interface has it; the flag is not changed.
    Status GP_REN(const int16_t& flag);
    Status GP_IFC();
    Status GP_SDC(int16_t adrs);
    Status GP_Time_Out(int16_t code);
    Status GP_MTerm(int16_t code);
    Status GP_EOI(int16_t flag);
    Status GP_Send_Binary_Data(const BusArray& data, int16_t adrs, int32_t count, int16_t format,
                               int16_t swap, int32_t last);
    Status GP_Send_AsciiBinary_Data(const QString& header, const BusArray& data, int16_t adrs,
                                    int32_t count, int16_t format, int16_t swap, int16_t flag);
    // The current back end's own words on the last operation's failure.
    QString Last_Error_Text();

private:
    BusModule* current() { return Module(kind_); }

    BusContext context_;
    ModuleFactories factories_;
    std::array<std::unique_ptr<BusModule>, InterfaceKindCount> modules_;
    int16_t kind_ = KindUsbTmc;
};

} // namespace velda::bus

// Feeds arbitrary bytes as the model file through the model-information
// module, then walks every entry point over the models it accepted.
#include "engine/DeviceRecord.h"
#include "engine/sysinf32.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

// One scratch file per fuzzing process, removed when the process ends.
struct ScratchFile {
    std::string path = "/tmp/velda_fuzz_models_" + std::to_string(getpid()) + ".toml";
    ~ScratchFile() { std::remove(path.c_str()); }
};

const std::string& modelPath() {
    static const ScratchFile file;
    return file.path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(modelPath().c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    SysSetModelFile(modelPath().c_str());
    if (SysInitDeviceInfo() < 0) {
        char name[512];
        SysGetSysErrorFileName(name);
        (void)SysGetSysErrorLineNo();
        return 0;
    }
    std::array<uint8_t, velda::engine::rec::RecordSize> rec{};
    std::array<uint8_t, 3600> table{};
    char name[20];
    char text[512];
    const int16_t models = static_cast<int16_t>(SysGetDeviceCnt());
    for (int16_t m = -1; m <= models; ++m) {
        SysGetDeviceName(m, name);
        SysGetInitDeviceInfo(m, rec.data());
        SysGetDeviceInfo(m, rec.data());
        for (int32_t item = -1; item <= 4; ++item)
            SysGetGPIBInfo(m, item, table.data());
        SysChangeInterface(m, m % 5, rec.data());
        const int32_t sizes = SysGetMemorySizeCnt(m);
        for (int32_t i = -1; i <= sizes; ++i) {
            SysGetMemorySizeName(m, i, name);
            SysChangeMemorySize(m, i, rec.data());
        }
        const int32_t channels = SysGetChannelCnt(m);
        for (int16_t c = -1; c <= channels; ++c) {
            SysGetChannelName(m, c, name);
            SysChangeChannel(m, c, rec.data());
            const int32_t ranges = SysGetRangeCnt(m, c);
            for (int16_t r = -1; r <= ranges; ++r) {
                SysGetRangeName(m, c, r, name);
                SysChangeRange(m, c, r, rec.data());
                SysChangeAmplitude(m, c, r, 1.5, rec.data());
                SysChangeOffset(m, c, r, -0.5, rec.data());
            }
            SysCheckFrequency(m, c, 1, 1e6, text);
            SysCheckFrequency(m, c, 0, 1e12, text);
            SysChangeFrequency(m, c, 1e3, rec.data());
        }
    }
    return 0;
}

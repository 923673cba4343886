// libFuzzer harness: any bytes given to the WAVE reader either read or fail with
// EWaveStreamError, and whatever reads can be made ready for a device.

#include "sound/Resampler.h"
#include "sound/Wave.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TWave wave;
    try {
        wave.LoadFromMemory({data, size});
    } catch (const EWaveStreamError&) {
        return 0;
    }
    auto samples = WaveSamples(wave);
    if (samples.size() != wave.FrameCount())
        std::abort();
    auto out = Resample(samples, static_cast<int>(wave.Format().SamplesPerSec), 48000);
    for (float v : out)
        if (!(v > -2.0f && v < 2.0f))
            std::abort();
    return 0;
}

#include "shell/EngineSound.h"

#include "sound/SoundDevice.h"
#include "storage/GameFiles.h"

namespace zel {

TEngineSound::TEngineSound(TDDSD7& device, IGameStorage& storage, IClock& clock, size_t streamLength)
    : sound_(device, SoundFilesOf(storage), clock, streamLength) {}

}  // namespace zel

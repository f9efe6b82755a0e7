#include "utilities/UtilityHost.h"

#include "wave/ChannelFileState.h"
#include "records/CompositeChannelSettings.h"
#include "records/UsbDeviceSettings.h"

bool UtilityHost::InputShown(int channel) const
{
    if (channel < 0 || channel >= 8)
        return false;
    const bool enabled = device && device->Channels[channel].bIsEnabled != 0;
    const ChannelFileState* f = files ? &files[channel] : nullptr;
    switch (Mode()) {
    case 0: return enabled;
    case 1: return enabled && f && f->IsActive != 0;
    default: return f && f->File != nullptr;
    }
}

bool UtilityHost::InputComputed(int channel) const
{
    if (channel < 0 || channel >= 8)
        return false;
    const ChannelFileState* f = files ? &files[channel] : nullptr;
    switch (Mode()) {
    case 0: return device && device->Channels[channel].bIsEnabled != 0;
    case 1: return f && (f->File != nullptr || f->IsActive != 0);
    default: return f && f->File != nullptr;
    }
}

bool UtilityHost::CompositeEnabled(int composite) const
{
    return composites && composite >= 0 && composite < 16 && composites[composite].bIsEnabled != 0;
}

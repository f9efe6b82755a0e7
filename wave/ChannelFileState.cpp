#include "wave/ChannelFileState.h"

#include "wave/TWaveFile.h"

ChannelFileState::ChannelFileState() = default;
ChannelFileState::~ChannelFileState() = default;
ChannelFileState::ChannelFileState(ChannelFileState&&) noexcept = default;
ChannelFileState& ChannelFileState::operator=(ChannelFileState&&) noexcept = default;

void ChannelFileState::Clear()
{
    File.reset();
    FileChannel = 0;
    FilePath[0] = '\0';
}

// The embedded pink-noise wave ("PINKWAVE" of type "PinkWave"); its bytes are generated
// by tools/ from our own noise generator.
#include "res/ResourceGroups.h"

void RegisterPinkWave()
{
}

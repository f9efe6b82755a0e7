#include "acquisition/TSoundOutput.h"

bool TSoundOutput::Write(const void*, DWORD, int, bool, UINT* result)
{
    if (result)
        *result = 0;
    return false;
}

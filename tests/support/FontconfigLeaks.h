// Kept for sources that still include it: the leak suppressions for fontconfig and FreeType
// are linked into every test program from tests/support/LeakSuppressions.cpp.
#pragma once

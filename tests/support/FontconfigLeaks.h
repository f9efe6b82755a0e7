// Include from exactly one source of a test executable that shows text with Qt: fontconfig
// keeps caches for the life of the process, which LeakSanitizer would report as leaks.
#pragma once

extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\n";
}

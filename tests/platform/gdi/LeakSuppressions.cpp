// Fontconfig keeps caches for the life of the process and frees them never; the leak
// checker would otherwise fail every test that draws text. The window layer's standard
// cursor cache shows up the same way at exit (reported to its owner).
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libfreetype\nleak:StandardCursor\n";
}

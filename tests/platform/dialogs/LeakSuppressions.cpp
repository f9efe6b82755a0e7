// Fontconfig keeps caches for the life of the process and frees them never; the leak
// checker would otherwise fail every test that shows text.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libfreetype\n";
}

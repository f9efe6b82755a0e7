// Linked into every test program. Fontconfig and FreeType keep caches for the life of the
// process and never free them; the leak checker would otherwise fail every test that draws
// text. The window layer's standard cursors are process-lifetime objects too, and so is the
// D-Bus connection Qt's X11 platform opens on a real display.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libfreetype\nleak:StandardCursor\nleak:libdbus-1\n";
}

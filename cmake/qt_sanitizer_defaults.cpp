// Sanitizer defaults for programs that run Qt, linked into sanitizer builds
// only. Qt's own thread pool (and the GLib event dispatcher under it) and
// queued calls use synchronisation the thread sanitizer cannot see; the xcb
// platform leaks one libdbus allocation.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Widgets.so.6\n"
           "called_from_lib:libQt6Test.so.6\n"
           "called_from_lib:libQt6Network.so.6\n"
           "called_from_lib:libglib-2.0.so.0\n";
}

extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so.3\n"; }

// Default options of the address sanitizer, built into every executable of
// the sanitizer build (BEAT_SANITIZE); ASAN_OPTIONS still adds to them or
// overrides them.
//
// intercept_tls_get_addr=0: the runtimes of GCC 12 and clang 14 guess where a
// thread's block of a loaded module's thread-local variables lies by reading
// the 16 bytes before it as a (start, size) header of a glibc older than
// 2.25, whenever the block begins 16 bytes past a 4096-byte page. glibc 2.25
// and later take these blocks from malloc, so that guess reads the
// allocator's own chunk header instead, and the leak check at exit then scans
// a made-up range and dies ("Tracer caught signal 11 ... LeakSanitizer has
// encountered a fatal error"). Qt, loaded with the program's module, has such
// variables, and its thread pool's threads still live at exit, so the check
// died in about one run in twenty of a session that saves a page. Without the
// guess the blocks stay ordinary heap blocks, reached through the thread's
// vector of them, so what they point to is still not reported and a real
// leak still is.

extern "C" __attribute__((visibility("default"), used)) const char* __asan_default_options() {
  return "intercept_tls_get_addr=0";
}

// The sanitizer build's leak check, tried on what the program does: blocks
// held only in a loaded module's thread-local variable, one of them by a
// thread still alive at exit, and one block of 300 bytes really lost. The
// check must report the lost block alone, and must not die on the way.
// Built twice: as the module (LEAK_CHECK_MODULE) and as the probe that loads
// it, named by the first argument.

#include <cstdlib>

#ifdef LEAK_CHECK_MODULE

// Seen from outside the module, so that the compiler keeps every store
// (and reaches it through __tls_get_addr, as Qt reaches its own).
thread_local void* kept = nullptr;

extern "C" __attribute__((visibility("default"))) void keep(std::size_t bytes) {
  kept = std::malloc(bytes);
}

#else

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <thread>

// Where the lost block's address passes through, so that no stale copy of it
// on the stack keeps it reachable.
void* volatile lost_block = nullptr;

int main(int argc, char** argv) {
  void* module = argc > 1 ? ::dlopen(argv[1], RTLD_NOW | RTLD_LOCAL) : nullptr;
  if (!module) {
    std::fprintf(stderr, "usage: leak_check_probe MODULE (%s)\n", ::dlerror());
    return 2;
  }
  const auto keep = reinterpret_cast<void (*)(std::size_t)>(::dlsym(module, "keep"));
  keep(100);
  std::atomic<bool> kept{false};
  std::thread([&] {
    keep(200);
    kept = true;
    for (;;) ::pause();
  }).detach();
  while (!kept) std::this_thread::yield();
  lost_block = std::malloc(300);
  lost_block = nullptr;
  return 0;
}

#endif

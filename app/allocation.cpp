// The program's allocation functions, replacing the C++ library's: malloc and free, and never an
// exception. The library's nothrow forms call its throwing ones inside a try block, which links
// the whole exception runtime (personality routine, unwinder, demangler: about 90 KB) into a
// program that has no exceptions at all. Only setup.exe links this file; the tests keep the
// library's functions.
#include <cstdlib>
#include <new>

namespace {

void* Allocate(std::size_t size) { return malloc(size != 0 ? size : 1); }

// The forms that may not return null: without memory the program cannot go on.
void* AllocateOrAbort(std::size_t size) {
  void* p = Allocate(size);
  if (p == nullptr) abort();
  return p;
}

}  // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new(std::size_t size) { return AllocateOrAbort(size); }
void* operator new[](std::size_t size) { return AllocateOrAbort(size); }

void operator delete(void* p) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete(void* p, std::size_t) noexcept { free(p); }
void operator delete[](void* p, std::size_t) noexcept { free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { free(p); }

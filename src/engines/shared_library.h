// A shared library bound at run time, so that a program loads a speech engine's library (and the
// many it needs) only once that engine is asked to speak, and runs without it when it is missing.
#pragma once

#include <dlfcn.h>

namespace kaldro::engines {

class SharedLibrary {
 public:
  // Stays mapped after the object goes (RTLD_NODELETE): the library's threads may still be winding down.
  explicit SharedLibrary(const char* name) : handle_(::dlopen(name, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE)) {}
  ~SharedLibrary() {
    if (handle_) ::dlclose(handle_);
  }
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  bool loaded() const { return handle_ != nullptr; }

  // Binds function to the symbol; the declaration's type comes from the library's own header.
  template <typename Function>
  bool bind(Function& function, const char* name) {
    function = handle_ ? reinterpret_cast<Function>(::dlsym(handle_, name)) : nullptr;
    return function != nullptr;
  }

 private:
  void* handle_;
};

}  // namespace kaldro::engines

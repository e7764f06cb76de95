#include "platform/host_factories.h"

namespace kaldro::platform {

std::unique_ptr<Host> makeWindowHost(Trace&, std::string& error) {
  error = "a janela ainda não é suportada";
  return nullptr;
}

}  // namespace kaldro::platform

#include "platform/host_factories.h"

namespace kaldro::platform {

std::unique_ptr<Host> makeTerminalHost(Trace&, std::string& error) {
  error = "o terminal ainda não é suportado";
  return nullptr;
}

}  // namespace kaldro::platform

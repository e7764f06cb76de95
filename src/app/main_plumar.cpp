// plumar: the talking form-letter generator.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "app/letter_generator.h"
#include "app/program_runtime.h"
#include "app/standard_options.h"
#include "platform/host/host_factories.h"

namespace {

constexpr const char* kUsage =
    "uso: plumar [MODELO]\n"
    "     plumar --help | --version\n"
    "Preparador de cartas padronizadas: fala cada instrução do MODELO, pergunta o valor de cada\n"
    "campo {NOME} e grava a carta no arquivo de saída. Sem MODELO, pergunta o nome do arquivo\n"
    "(Tab ou seta para baixo abrem a lista dos arquivos da pasta). O manual: man plumar.\n"
    "\n"
    "Teclas que o Linux guarda para si (Ctrl+Alt+F1 a F12 trocam de terminal) têm uma segunda\n"
    "combinação, que faz o mesmo:\n"
    "  Ctrl+Alt+Shift+F9   = Ctrl+Alt+F9, revisão de tela (no editor de linha)\n"
    "  Ctrl+Alt+Shift+F11  = Ctrl+Alt+F11, liga o teclado braille / passa ao modo seguinte\n"
    "  Ctrl+Alt+Shift+F12  = Ctrl+Alt+F12, desliga o teclado braille\n"
    "\n"
    "Código de saída (o motivo de cada falha vai numa linha para a saída de erro):\n"
    "  0    carta gravada\n"
    "  1    falha: o modelo não existe, a saída não pode ser criada ou gravada, falta\n"
    "       fechar uma chave, ou a voz não começa\n"
    "  2    roteiro de teclas com erro (só sem tela, KALDRO_HOST=headless)\n"
    "  3    o roteiro de teclas acabou antes do fim (só sem tela)\n"
    "  4    cancelado pelo usuário: nome vazio ou reescrita recusada\n"
    "  255  interrompido: a janela ou o terminal fechados, um sinal de término ou Ctrl+Break\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace kaldro;
  std::vector<std::string> arguments(argv + 1, argv + argc);
  if (app::answerStandardOption(arguments, "plumar", kUsage)) return 0;
  const platform::RunOptions run = platform::RunOptions::fromEnvironment();
  return app::runProgram(
      run, [&](app::ProgramRuntime& runtime) {
        app::LetterGenerator generator(runtime.console(), runtime.speech(), runtime.lineEditor(),
                                       runtime.fileChooser(), run.utf8Locale);
        generator.run(arguments);
      },
      platform::makeWindowHost);
}

#!/bin/sh
# Makes the example word-processor templates of examples/ from the HTML pages of this folder with
# LibreOffice (headless, in a profile of its own): pedido-tabela.odt and declaracao-formatada.docx.
# Run it after changing a page, and commit what it writes.
set -e
here=$(cd "$(dirname "$0")" && pwd)
examples="$here/../../examples"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$here/pedido-tabela.html" "$work/pedido-tabela.html"
cp "$here/declaracao.html" "$work/declaracao-formatada.html"
office() {
  soffice -env:UserInstallation="file://$work/perfil" --headless --infilter="HTML (StarWriter)" "$@" >/dev/null 2>&1
}
office --convert-to odt:writer8 --outdir "$work" "$work/pedido-tabela.html"
office --convert-to docx:"MS Word 2007 XML" --outdir "$work" "$work/declaracao-formatada.html"
cp "$work/pedido-tabela.odt" "$work/declaracao-formatada.docx" "$examples/"

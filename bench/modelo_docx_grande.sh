#!/bin/sh
# 5 MB .docx templates filled by plumar on the headless host: their peak memory (target: under
# 64 MB) and how long after the start their first question, "NOME:", is spoken (target: within
# 100 ms), from the trace read as it is written. Two templates: one as offices send them, a picture
# of 4.7 MB and 60 pages of text (1 500 paragraphs); one mostly of text, 20 000 paragraphs (about
# 800 pages) and a picture of 4.9 MB. Needs GNU time (/usr/bin/time) and zip.
#   bench/modelo_docx_grande.sh [BIN_DIR]
set -eu
bin=$(cd "${1:-$(dirname "$0")/../build/bin}" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"

# makeTemplate PARAGRAPHS PICTURE_BYTES: modelo.docx, a field split by Word at its start.
makeTemplate() {
  rm -rf modelo modelo.docx carta.docx
  mkdir -p modelo/_rels modelo/word/_rels modelo/word/media
  w='xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"'
  cat > 'modelo/[Content_Types].xml' <<XML
<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/><Default Extension="png" ContentType="image/png"/><Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/></Types>
XML
  cat > modelo/_rels/.rels <<XML
<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/></Relationships>
XML
  cat > modelo/word/_rels/document.xml.rels <<XML
<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId5" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/image" Target="media/image1.png"/></Relationships>
XML
  {
    printf '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<w:document %s><w:body>' "$w"
    printf '<w:p><w:r><w:rPr><w:b/></w:rPr><w:t>Prezado(a) {NO</w:t></w:r><w:r><w:t>ME},</w:t></w:r></w:p>'
    awk -v count="$1" 'BEGIN { for (i = 1; i <= count; i++)
      printf "<w:p><w:pPr><w:jc w:val=\"both\"/></w:pPr><w:r><w:t xml:space=\"preserve\">Parágrafo %d: o texto corrido de um documento longo, </w:t></w:r><w:r><w:rPr><w:i/></w:rPr><w:t>com um trecho em itálico %d.</w:t></w:r></w:p>", i, i * 7919 % 10007 }'
    printf '<w:p><w:r><w:t>{CIDADE}, {DATA}</w:t></w:r></w:p><w:sectPr/></w:body></w:document>'
  } > modelo/word/document.xml
  head -c "$2" /dev/urandom > modelo/word/media/image1.png
  (cd modelo && zip -q -X -r ../modelo.docx '[Content_Types].xml' _rels word)
}

# measure NAME: fills modelo.docx and prints its figures.
measure() {
  rm -f rastro pergunta
  mkfifo rastro
  # The trace as it arrives: the nanosecond the first question came.
  ( while IFS= read -r line; do
      case "$line" in "say NOME:"*) date +%s%N > pergunta ;; esac
    done < rastro ) &
  reader=$!
  start=$(date +%s%N)
  KALDRO_HOST=headless KALDRO_KEYS=teclas KALDRO_TRACE=rastro KALDRO_AUDIO=none \
    /usr/bin/time -f "%e %M" -o tempo "$bin/plumar" modelo.docx > saida 2>&1 || { cat saida; exit 1; }
  wait "$reader"
  asked=$(cat pergunta)
  read -r seconds peak < tempo
  echo "$1: modelo de $(($(stat -c %s modelo.docx) / 1024)) KB, $(($(stat -c %s modelo/word/document.xml) / 1024)) KB de XML; carta de $(($(stat -c %s carta.docx) / 1024)) KB"
  echo "  primeira pergunta falada $(((asked - start) / 1000000)) ms depois do início (meta: 100 ms)"
  echo "  memória no pico $((peak / 1024)) MB (meta: 64 MB); a execução inteira levou $seconds s"
  echo "  (carga da máquina: $(cut -d' ' -f1-3 /proc/loadavg))"
}

printf 'type carta.docx\nkey Enter\ntype Ana Souza\nkey Enter\ntype Recife\nkey Enter\n' > teclas
makeTemplate 1500 4900000
measure "como os escritórios mandam"
makeTemplate 20000 4950000
measure "muito texto, 800 páginas"

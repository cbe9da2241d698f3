#!/usr/bin/env bash
# Renders a sample report with 100 events and checks that LibreOffice opened it: a PDF with
# at least one page came out. Exit 77 (skipped) without LibreOffice.
#   render_test.sh REPORT_SAMPLE TEMPLATE RENDER_SCRIPT OUTDIR
set -euo pipefail
sample="$1" template="$2" render="$3" out="$4"
if ! command -v libreoffice >/dev/null && ! command -v soffice >/dev/null; then
    echo "LibreOffice not installed: rendering check skipped"
    exit 77
fi
rm -rf "$out"
mkdir -p "$out"
"$sample" "$template" "$out/report.docx" 100
set +e
"$render" "$out/report.docx" "$out"
status=$?
set -e
[ $status -eq 0 ] || exit $status
pages=$(ls "$out"/page*.png | wc -l)
echo "rendered $pages page(s) into $out"
[ "$pages" -ge 2 ]

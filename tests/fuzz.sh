#!/usr/bin/env bash
# Runs the fuzz targets for a bounded time each (60 s by default):
#   tests/fuzz.sh [SECONDS]
# fuzz_workbook     arbitrary bytes through the FreeXL reader and the sheet writer
# fuzz_zipworkbook  the .xlsx and .ods reader and the sheet writer, once from
#                   .xlsx seeds, once from .ods seeds (whole files, and the XML
#                   of their sheet alone)
# fuzz_sheetpipe    arbitrary reader output through ProcessWorkbookReader
# Needs clang and libclang-rt-14-dev (not part of the ordinary build or CI).
# A crashing input is left in build-fuzz/ as crash-*; make it a test in
# tests/test_hostile.cpp (crashes inside FreeXL: assert that the import fails
# with its message and leaves the table as it was).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
dir=build-fuzz

cmake -S . -B "$dir" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_FUZZ=ON >/dev/null
cmake --build "$dir" --target fuzz_workbook fuzz_zipworkbook fuzz_sheetpipe quorvel-sheetreader \
  -j"$(nproc)"

# Seeds: the test workbooks, and what the reader program sends for each.
mkdir -p "$dir/corpus/workbook" "$dir/corpus/sheetpipe" "$dir/corpus/xlsx" "$dir/corpus/ods"
cp tests/workbooks/*.xls examples/*.xls "$dir/corpus/workbook/"
for f in tests/workbooks/*.xls tests/workbooks/*.xlsx tests/workbooks/*.ods tests/workbooks/*.csv \
  examples/*.xls; do
  "$dir/bin/quorvel-sheetreader" "$f" >"$dir/corpus/sheetpipe/$(basename "$f").out" 2>/dev/null || true
done
# The zips of at most 64 KiB, and the XML of each sheet alone, marked for the
# target ("O" before an .ods content.xml).
/usr/bin/python3 - "$dir/corpus" tests/workbooks <<'EOF'
import os, sys, zipfile
corpus, folder = sys.argv[1], sys.argv[2]
for name in sorted(os.listdir(folder)):
    kind = name.rsplit(".", 1)[-1]
    if kind not in ("xlsx", "ods"):
        continue
    path = os.path.join(folder, name)
    if os.path.getsize(path) <= 65536:
        with open(path, "rb") as f, open(os.path.join(corpus, kind, name), "wb") as out:
            out.write(f.read())
    try:
        with zipfile.ZipFile(path) as z:
            part = "content.xml" if kind == "ods" else "xl/worksheets/sheet1.xml"
            xml = z.read(part)
    except Exception:
        continue
    if len(xml) < 65535:
        with open(os.path.join(corpus, kind, name + ".xml"), "wb") as out:
            out.write((b"O" if kind == "ods" else b"X") + xml)
EOF

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
# FreeXL has known faults of its own, which the reader program contains: its
# known bad read and its leaks on broken files are not reported
# (tests/fuzz/freexl*.supp), and the workbook target runs in fork mode, which
# notes any other crash (crash-* files) and goes on. The sheet target must not
# crash at all.
run() {  # run TARGET CORPUS [options...]
  local target=$1 corpus=$2
  shift 2
  echo "== fuzz_$target on corpus/$corpus for $seconds s"
  (cd "$dir" && "./bin/fuzz_$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
     -rss_limit_mb=2048 -print_final_stats=1 "$@" "corpus/$corpus") >"$dir/fuzz_$corpus.log" 2>&1 \
    || status=1
  # Executions: the last progress line in fork mode, the final statistics otherwise.
  grep -E '^#[0-9]+: ' "$dir/fuzz_$corpus.log" | tail -1 || true
  grep -E 'stat::number_of_executed_units|stat::new_units_added|SUMMARY|exiting' \
    "$dir/fuzz_$corpus.log" | sort | uniq -c || true
}
ASAN_OPTIONS=$ASAN_OPTIONS:suppressions=$PWD/tests/fuzz/freexl.supp \
  LSAN_OPTIONS=suppressions=$PWD/tests/fuzz/freexl-leaks.supp run workbook workbook -fork=1 \
  -ignore_crashes=1
# The .xlsx and .ods reader is Quorvel's own: it must not crash at all.
run zipworkbook xlsx
run zipworkbook ods
run sheetpipe sheetpipe
exit $status

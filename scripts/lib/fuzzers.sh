# The engine's fuzz targets as the native build lists them (fuzzers.list:
# NAME CORPUS CORPUS_MAX_LEN DICT...), shared by test-native, fuzz-engine and
# coverage-engine.

# fuzz_targets BUILD: prints the target names.
fuzz_targets() {
  cut -d' ' -f1 "$1/fuzzers.list"
}

# fuzz_corpus BUILD NAME: the target's seed corpus folder in the repository.
fuzz_corpus() {
  awk -v n="$2" '$1 == n { print $2 }' "$1/fuzzers.list"
}

# fuzz_corpus_max_len BUILD NAME: the longest input the seed corpus keeps.
fuzz_corpus_max_len() {
  awk -v n="$2" '$1 == n { print $3 }' "$1/fuzzers.list"
}

# fuzz_dict BUILD NAME: its dictionaries joined into one file (libFuzzer
# takes one), made in the build folder; prints the file's path.
fuzz_dict() {
  local out="$1/fuzz-dict/$2.dict"
  mkdir -p "$1/fuzz-dict"
  awk -v n="$2" '$1 == n { for (i = 4; i <= NF; i++) print $i }' "$1/fuzzers.list" | xargs cat >"$out"
  echo "$out"
}

# fuzz_stats LOG: "cov C ft F" of the last stats line libFuzzer printed with
# the given tag (INITED or DONE).
fuzz_stats() {
  grep -E "^#[0-9]+[[:space:]]+$2 " "$1" | tail -1 | sed -E 's/.*cov: ([0-9]+) ft: ([0-9]+).*/cov \1 ft \2/'
}

# Sourced by the benchmark scripts, from the project's root: sets CORPUS to the benchmark corpus
# (one file, all of it concatenated), building it once in CORPUS_DIR (default
# ${TMPDIR:-/tmp}/vornix-corpus) with ../shared/bench/make-corpus.sh.
CORPUS_DIR=${CORPUS_DIR:-${TMPDIR:-/tmp}/vornix-corpus}
if [ ! -f "$CORPUS_DIR/corpus.cat" ]; then
  echo "$(basename "$0"): building the corpus in $CORPUS_DIR" >&2
  bash "../shared/bench/make-corpus.sh" "$CORPUS_DIR"
fi
CORPUS=$(realpath "$CORPUS_DIR/corpus.cat")

#!/usr/bin/env bash
# The bash completion offers every long option --help lists, each once, the protocols after
# --protocol, the TLDs after --tld (the last of a comma list), only folders after --out and journals
# after --resume. Usage: completion.sh ZANDREL COMPLETION_SCRIPT
set -u
[ -r /usr/share/bash-completion/bash_completion ] || { echo "bash-completion is missing"; exit 77; }
# shellcheck disable=SC1091
source /usr/share/bash-completion/bash_completion
PATH="$(dirname "$1"):$PATH"
# shellcheck disable=SC1090
source "$2"

complete_words() {
  COMP_WORDS=(zandrel "$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE="${COMP_WORDS[*]}"
  COMP_POINT=${#COMP_LINE}
  COMPREPLY=()
  _zandrel zandrel "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | sort -u | tr '\n' ' '
}

failed=0
expect() { # what, got, wanted
  if [ "$2" != "$3" ]; then
    echo "$1: got '$2', wanted '$3'"
    failed=1
  fi
}

wanted=$("$1" --help | grep -oE '^  (-[a-z], )?--[a-z-]+' | grep -oE -- '--[a-z-]+' | sort -u | tr '\n' ' ')
expect "options" "$(complete_words --)" "$wanted"
expect "protocols" "$(complete_words --check --protocol '')" "auto rdap whois "
expect "a TLD" "$(complete_words --check --tld xn--p1a)" "xn--p1acf xn--p1ai "
expect "the next TLD" "$(complete_words --batch --tld com,xn--p1ai)" "com,xn--p1ai "
expect "stages" "$(complete_words --check --stage '')" "dropping "
expect "the learned pace" "$(complete_words --check --delay a)" "auto "

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
mkdir "$folder/reports"
touch "$folder/report.txt"
expect "folders only" "$(complete_words --batch --out "$folder/rep")" "$folder/reports "
expect "files too" "$(complete_words --batch --prefix "$folder/rep")" "$folder/report.txt $folder/reports "
touch "$folder/run-1.jsonl"
expect "journals after --resume" "$(complete_words --batch --resume "$folder/run")" "$folder/run-1.jsonl "
expect "an option once" "$(complete_words --check --server x --s)" "--stage --suffix "
exit $failed

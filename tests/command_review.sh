#!/usr/bin/env bash
# The command's work around the conversion: rewriting files in place, a
# diff that patch applies, the report and summary for review, the hint for
# a Windows-1252 file, progress on a terminal, one's own table, and the
# manual page and completion that document every option.
# Usage: command_review.sh KESTI TABLES_DIR SOURCE_DIR
set -u
kesti=$1
export KESTI_TABLE_DIR=$2
source_dir=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
passed=0 failed=0 skipped=()
check() {  # check NAME COMMAND...: passes when COMMAND succeeds
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name"; fi
}
has() { command -v "$1" > /dev/null || { skipped+=("$2 ($1 is not installed)"); false; }; }

mkdir d
printf 'Mao Tse-tung went to Pei-ching.\n1\n2\n3\n4\n5\n6\n7\nChou En-lai' > d/a.txt
printf 'Nothing Chinese here.\n' > d/same.txt
cp d/a.txt d/b.txt && chmod 640 d/b.txt
cp -r d original

# --diff: what would change, as patch -p1 applies it, and nothing written.
"$kesti" --diff d/a.txt d/same.txt > review.diff
check "--diff exits 0" test $? -eq 0
check "--diff leaves the file" cmp -s d/a.txt original/a.txt
check "--diff names a/ and b/" grep -qx -- '--- a/d/a.txt' review.diff
check "--diff shows nothing for an unchanged file" test -z "$(grep same.txt review.diff)"
if has patch "--diff applied by patch -p1"; then
  mkdir applied && cp -r d applied/
  (cd applied && patch -s -p1 < ../review.diff)
  check "patch -p1 gives the conversion" cmp -s applied/d/a.txt <("$kesti" d/a.txt)
fi

# --in-place: every file or none; the mode kept; a backup with a suffix.
"$kesti" -i.orig d/a.txt d/b.txt
check "-i rewrites" cmp -s d/a.txt <("$kesti" original/a.txt)
check "-i keeps the mode" test "$(stat -c %a d/b.txt)" = 640
check "-i.SUFFIX keeps a backup" cmp -s d/b.txt.orig original/b.txt
cp original/a.txt d/a.txt
"$kesti" --in-place d/a.txt d/missing.txt 2> err.txt
check "-i with a missing file exits 1" test $? -eq 1
check "-i with a missing file changes nothing" cmp -s d/a.txt original/a.txt
check "-i leaves no temporary file" test -z "$(ls -a d | grep kesti-)"
"$kesti" -i d/a.txt ./d/a.txt 2> err.txt
check "-i with one file twice exits 2" test $? -eq 2

# The report and the summary, for review.
printf 'Mao Tse-tung met Chou En-lai.\nChou En-lai met Mao Tse-tung, and Chou En-lai left.\n' > talk.txt
"$kesti" --summary summary.tsv --report - talk.txt -o /dev/null > report.tsv
check "--report - has a file column" grep -q $'^talk.txt\t2\t1\tChou En-lai' report.tsv
check "--summary counts, most frequent first" \
  test "$(sed -n 2p summary.tsv)" = $'3\tChou En-lai\tZhou Enlai\tword table\tno\t'
"$kesti" --summary summary.csv --report-format csv talk.txt -o /dev/null
check "csv summary opens with a byte order mark" test "$(head -c 3 summary.csv)" = $'\xEF\xBB\xBF'
check "csv summary quotes every field" grep -q '^"3","Chou En-lai","Zhou Enlai","word table","no",""' summary.csv
check "csv summary rows end in CRLF" test "$(grep -c $'\r$' summary.csv)" -eq "$(wc -l < summary.csv)"

# A Windows-1252 file: the message says so and names the option.
printf 'Lo Chen-y\xfc\n' > legacy.txt
"$kesti" legacy.txt 2> err.txt
check "a Windows-1252 file exits 1" test $? -eq 1
check "a Windows-1252 file gets the hint" grep -q "reads as Windows-1252.*--encoding cp1252" err.txt
check "--encoding cp1252 converts it" test "$("$kesti" --encoding cp1252 legacy.txt)" = "Luo Zhenyu"

# Progress: on a terminal with --progress, cleared at the end; never when
# standard error is not a terminal.
"$kesti" --progress d/same.txt > /dev/null 2> err.txt
check "no progress when standard error is a file" test ! -s err.txt
if has script "progress on a terminal"; then
  script -qec "$kesti --progress original/a.txt -o /dev/null" /dev/null > tty.txt
  check "--progress draws on a terminal" grep -q "MB/s" tty.txt
  check "the progress line is cleared" grep -q $'\e\\[K' tty.txt
  script -qec "$kesti --quiet --progress original/a.txt -o /dev/null" /dev/null > quiet.txt 2>&1
  check "--quiet with --progress is a usage error" grep -q "cannot both be given" quiet.txt
fi

# One's own table comes before the shipped ones; a bad line is named.
printf 'Hsi-an\tSian\n' > own.tsv
check "--add-table comes first" test "$("$kesti" --add-table own.tsv --text 'Hsi-an and Pei-ching')" = "Sian and Beijing"
printf 'Hsi-an\tSian\nno tab\n' > bad.tsv
"$kesti" --add-table own.tsv --add-table bad.tsv --text x 2> err.txt
check "a bad line of one's own table exits 1" test $? -eq 1
check "a bad line is named by file and line" grep -q "bad.tsv: line 2" err.txt

# Every option of --help is in the manual page and the completion.
options=$("$kesti" --help | grep -o -- '--[a-z][a-z-]*' | sort -u)
check "--help lists options" test -n "$options"
if has man "the manual page shows every option"; then
  manual=$(MANWIDTH=200 man -l "$source_dir/cli/kesti.1" 2>/dev/null)
  for option in $options; do
    check "the manual has $option" grep -q -- "$option" <<< "$manual"
  done
fi
for option in $options; do
  check "the completion has $option" grep -q -- "$option\b" "$source_dir/cli/kesti.bash"
done
if [ -r /usr/share/bash-completion/bash_completion ]; then
  completed=$(bash -c 'source /usr/share/bash-completion/bash_completion
    source "$1"; COMP_WORDS=(kesti --ton); COMP_CWORD=1; COMP_LINE="kesti --ton"; COMP_POINT=11
    _kesti; echo "${COMPREPLY[*]}"; COMP_WORDS=(kesti --tones n); COMP_CWORD=2; COMP_LINE="kesti --tones n"
    COMP_POINT=15; _kesti; echo "${COMPREPLY[*]}"' _ "$source_dir/cli/kesti.bash")
  check "completion completes an option and its words" test "$completed" = $'--tones\nnumbers none'
else
  skipped+=("completion run in bash (bash-completion is not installed)")
fi

for s in "${skipped[@]}"; do echo "not checked: $s"; done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
